#include "serial_link/line_settings.h"
#include "serial_link/settings_string.h"

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

private:
    QTemporaryDir m_locales;
};

namespace {

void valid(const QString& tag, const QString& text, int baud, int dataBits, int stopBits)
{
    QTest::newRow(qPrintable(tag)) << text << true << baud << dataBits << stopBits;
}

} // namespace

void TestSettingsString::check_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");

    // Read as 9600 baud, 8 data bits, 1 stop bit: blanks skipped anywhere, signs, hexadecimal,
    // exponents (one without digits is ignored), anything after the stop bits ignored, 7.5
    // rounded to the even 8, 1.49 to the nearest.
    for (const char* text : { "9600,n,8,1", "9600,N,8,1", " 9600,n,8,1", "96 00,n,8,1",
             "+ 9600,n,+8,+ 1", "&H2580,n,8,1", "96d2,n,0.8D1,1", "9600e,n,8e+,1",
             "9600,n,8,1,anything", "9600,n,7.5,1", "9600,n,8,1.49" })
        valid(text, text, 9600, 8, 1);
    valid("tab and line feed inside", "9\t6\n00,n, 8\t,\n1", 9600, 8, 1);
    // Read with 2 stop bits: halves to even, octal, signed exponents, a leading decimal point.
    for (const char* text : { "9600,n,8,1.5", "9600,n,8,2.5", "9600,n,8,2 stop bits",
             "&h2580,n,&o10,&O2", "96000E-1,n,8,0.02e+2", "9600,n,.8e1,.15e1" })
        valid(text, text, 9600, 8, 2);
    valid("112000 even 7 2", "112000,e,7,2", 112000, 7, 2);
    valid("56000 space", "56000,S,8,1", 56000, 8, 1);
    for (int baud : { 1200, 2400, 4800, 19200, 38400 })
        valid(QString("baud %1").arg(baud), QString("%1,n,8,1").arg(baud), baud, 8, 1);
    for (QChar parity : QString("nNeEoOmMsS"))
        valid(QString("parity ") + parity, QString("9600,%1,8,1").arg(parity), 9600, 8, 1);

    // Invalid: baud rates, parities, data and stop bits outside the lists (0.5 becomes 0), too
    // few commas, a hexadecimal number stopping at a non-digit, an ampersand alone, a second
    // decimal point ending the number, and values beyond 32 bits, which never wrap.
    for (const char* text : { "115200,n,8,1", "57600,n,8,1", "14400,n,8,1", "0,n,8,1", "9600,x,8,1",
             "9600, n,8,1", "9600,n ,8,1", "9600,,8,1", "9600,n,6,1", "9600,n,9,1", "9600,n,8",
             "9600", "9600,n,8,3", "9600,n,8,", "9600,n,8,0.5", "&H25G80,n,8,1", "&9600,n,8,1",
             "9600,n,8,0.5.5", "99999999999,n,8,1", "4294976896,n,8,1", "&HFFFFFFFF,n,8,1",
             "9600,n,8,1e400" })
        QTest::newRow(text) << QString(text) << false << 0 << 0 << 0;
}

void TestSettingsString::check()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(IsValidSettingsString(text), valid);
    if (!valid)
        return;

    // The serial control reads every accepted string the same way.
    const std::optional<LineSettings> line = parseLineSettings(text);
    QVERIFY(line);
    QTEST(line->baudRate, "baud");
    QTEST(line->dataBits, "dataBits");
    QTEST(line->stopBits, "stopBits");
}

void TestSettingsString::sameUnderADecimalCommaLocale()
{
    const QString localeDir = m_locales.filePath("de_DE.UTF-8");
    if (!QFile::exists(localeDir))
        QProcess::execute("localedef", { "-i", "de_DE", "-f", "UTF-8", localeDir });
    if (!QFile::exists(localeDir))
        QSKIP("localedef cannot build a German locale here");
    qputenv("LOCPATH", m_locales.path().toLocal8Bit());
    QVERIFY(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"));
    QCOMPARE(std::localeconv()->decimal_point, ",");
    check();
}

QTEST_GUILESS_MAIN(TestSettingsString)
#include "test_settings_string.moc"
