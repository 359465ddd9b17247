#include "core/line_settings.h"
#include "core/settings_string.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>

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
    QTest::addColumn<QList<int>>("line"); // baud rate, data bits, stop bits; none: invalid
    const auto row = [](const QString& text, const QList<int>& line) {
        QTest::newRow(qPrintable(text)) << text << line;
    };
    // Anything after the stop bits is ignored; halves go to the even number. Every rate of the
    // list, with an upper-case parity letter.
    row("9600,n,7.5,1", { 9600, 8, 1 });
    row("9600,n,8,2.5", { 9600, 8, 2 });
    row("112000,e,7,2,anything", { 112000, 7, 2 });
    for (int baud : { 1200, 2400, 4800, 9600, 19200, 38400, 56000 })
        row(QString("%1,S,8,1").arg(baud), { baud, 8, 1 });
    // Invalid: baud rates, parities, data and stop bits outside the lists (0.5 becomes 0), too
    // few commas, and values beyond 32 bits, which never wrap.
    for (const char* text : { "115200,n,8,1", "9600,x,8,1", "9600, n,8,1", "9600,n,6,1", "9600,n,8",
             "9600,n,8,3", "9600,n,8,0.5", "4294976896,n,8,1" })
        row(text, {});
}

void TestSettingsString::check()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, line);
    QCOMPARE(IsValidSettingsString(text), !line.isEmpty());
    // The serial control reads every accepted string the same way.
    const LineSettings read = parseLineSettings(text).value_or(LineSettings { 0, {}, 0, 0 });
    if (!line.isEmpty())
        QCOMPARE((QList<int> { read.baudRate, read.dataBits, read.stopBits }), line);
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
