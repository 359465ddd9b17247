#include "core/line_settings.h"
#include "core/settings_string.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>

Q_DECLARE_METATYPE(LineSettings)

class TestSettingsString : public QObject
{
    Q_OBJECT

private slots:
    void check_data();
    void check();
    void sameUnderADecimalCommaLocale_data() { check_data(); }
    void sameUnderADecimalCommaLocale();
    void cleanup() { std::setlocale(LC_NUMERIC, "C"); }
};

void TestSettingsString::check_data()
{
    // The number forms are leadingNumber()'s own: here, what the string makes of the numbers.
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<LineSettings>("line"); // as the serial control reads it; baud rate 0: refused
    using P = LineSettings::Parity;
    const auto row = [](const QString& text, bool valid, int baud, P parity, int data, int stop) {
        QTest::newRow(qPrintable(text))
            << text << valid << LineSettings { baud, parity, data, stop };
    };
    // Anything after the stop bits is ignored; halves go to the even number. Every rate of the
    // list, with an upper-case parity letter.
    row("9600,n,7.5,1", true, 9600, P::None, 8, 1);
    row("9600,n,8,2.5", true, 9600, P::None, 8, 2);
    row("1200,o,8,1.5", true, 1200, P::Odd, 8, 2);
    row("1200,M,8,1", true, 1200, P::Mark, 8, 1);
    row("112000,e,7,2,anything", true, 112000, P::Even, 7, 2);
    for (int baud : { 1200, 2400, 4800, 9600, 19200, 38400, 56000 })
        row(QString("%1,S,8,1").arg(baud), true, baud, P::Space, 8, 1);
    // Invalid here, but the serial control takes any baud rate, 5 to 8 data bits and a blank
    // before the parity: what the port takes is the port's business.
    row("115200,n,8,1", false, 115200, P::None, 8, 1);
    row("19200,E,5,2", false, 19200, P::Even, 5, 2);
    row("9600, n,8,1", false, 9600, P::None, 8, 1);
    row("9600,n,6,1", false, 9600, P::None, 6, 1);
    // Refused by both: parities, data and stop bits outside the lists (0.5 becomes 0), too few
    // commas, and values beyond 32 bits, which never wrap.
    for (const char* text : { "9600,x,8,1", "9600,n,4,1", "9600,n,8", "9600,n,8,3", "9600,n,8,0.5",
             "4294976896,n,8,1" })
        row(text, false, 0, P::None, 0, 0);
}

void TestSettingsString::check()
{
    QFETCH(QString, text);
    QTEST(IsValidSettingsString(text), "valid");
    QTEST(parseLineSettings(text).value_or(LineSettings { 0, {}, 0, 0 }), "line");
}

void TestSettingsString::sameUnderADecimalCommaLocale()
{
    static QTemporaryDir locales; // built once for all rows
    const QString localeDir = locales.filePath("de_DE.UTF-8");
    if (!QFile::exists(localeDir))
        QProcess::execute("localedef", { "-i", "de_DE", "-f", "UTF-8", localeDir });
    if (!QFile::exists(localeDir))
        QSKIP("localedef cannot build a German locale here");
    qputenv("LOCPATH", locales.path().toLocal8Bit());
    QVERIFY(std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && *std::localeconv()->decimal_point == ',');
    check();
}

QTEST_GUILESS_MAIN(TestSettingsString)
#include "test_settings_string.moc"
