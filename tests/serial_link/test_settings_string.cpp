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

void valid(const char* name, const QString& text, int baud, int dataBits, int stopBits)
{
    QTest::newRow(name) << text << true << baud << dataBits << stopBits;
}

void invalid(const char* name, const QString& text)
{
    QTest::newRow(name) << text << false << 0 << 0 << 0;
}

} // namespace

void TestSettingsString::check_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");

    valid("start-up string", "9600,n,8,1", 9600, 8, 1);
    valid("design string", "9600,N,8,1", 9600, 8, 1);
    valid("112000 even 7 2", "112000,e,7,2", 112000, 7, 2);
    valid("56000 space", "56000,S,8,1", 56000, 8, 1);
    for (int baud : { 1200, 2400, 4800, 19200, 38400 })
        valid(qPrintable(QString("baud %1").arg(baud)), QString("%1,n,8,1").arg(baud), baud, 8, 1);
    for (QChar parity : QString("nNeEoOmMsS"))
        valid(qPrintable(QString("parity ") + parity), QString("9600,%1,8,1").arg(parity), 9600, 8,
            1);

    invalid("115200", "115200,n,8,1");
    invalid("57600", "57600,n,8,1");
    invalid("14400", "14400,n,8,1");
    invalid("baud 0", "0,n,8,1");
    invalid("negative baud", "-9600,n,8,1");
    invalid("parity x", "9600,x,8,1");
    invalid("blank before parity", "9600, n,8,1");
    invalid("blank after parity", "9600,n ,8,1");
    invalid("empty parity", "9600,,8,1");
    invalid("6 data bits", "9600,n,6,1");
    invalid("9 data bits", "9600,n,9,1");
    invalid("no stop bits field", "9600,n,8");
    invalid("baud only", "9600");
    invalid("3 stop bits", "9600,n,8,3");
    invalid("empty stop bits", "9600,n,8,");

    valid("more after the stop bits", "9600,n,8,1,anything", 9600, 8, 1);
    valid("words after the stop bits", "9600,n,8,2 stop bits", 9600, 8, 2);
    valid("leading blank", " 9600,n,8,1", 9600, 8, 1);
    valid("blank inside", "96 00,n,8,1", 9600, 8, 1);
    valid("tab and line feed inside", "9\t6\n00,n, 8\t,\n1", 9600, 8, 1);
    valid("blank between sign and digits", "+ 9600,n,+8,+ 1", 9600, 8, 1);
    valid("hexadecimal", "&H2580,n,8,1", 9600, 8, 1);
    valid("octal, either letter case", "&h2580,n,&o10,&O2", 9600, 8, 2);
    invalid("hexadecimal stops at a non-digit", "&H25G80,n,8,1");
    invalid("ampersand alone", "&9600,n,8,1");
    valid("exponent D", "96d2,n,0.8D1,1", 9600, 8, 1);
    valid("signed exponent", "96000E-1,n,8,0.02e+2", 9600, 8, 2);
    valid("exponent without digits is ignored", "9600e,n,8e+,1", 9600, 8, 1);
    invalid("second decimal point ends the number", "9600,n,8,0.5.5");

    valid("1.5 stop bits become 2", "9600,n,8,1.5", 9600, 8, 2);
    valid("2.5 stop bits become 2", "9600,n,8,2.5", 9600, 8, 2);
    invalid("0.5 stop bits become 0", "9600,n,8,0.5");
    valid("7.5 data bits become 8", "9600,n,7.5,1", 9600, 8, 1);
    valid("1.49 stop bits become 1", "9600,n,8,1.49", 9600, 8, 1);
    valid("leading decimal point", "9600,n,.8e1,.15e1", 9600, 8, 2);

    invalid("eleven nines", "99999999999,n,8,1");
    invalid("2^32 + 9600 does not wrap", "4294976896,n,8,1");
    invalid("hexadecimal 2^32 + 9600 does not wrap", "&H100002580,n,8,1");
    invalid("hexadecimal all ones", "&HFFFFFFFF,n,8,1");
    invalid("stop bits beyond the range", "9600,n,8,1e400");
    invalid("data bits below the range", "9600,n,-1e400,1");
}

void TestSettingsString::check()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const QString original = text;
    QCOMPARE(IsValidSettingsString(text), valid);
    QCOMPARE(text, original);
    if (!valid)
        return;

    // The serial control reads every accepted string the same way.
    QFETCH(int, baud);
    QFETCH(int, dataBits);
    QFETCH(int, stopBits);
    const std::optional<LineSettings> line = parseLineSettings(text);
    QVERIFY(line);
    QCOMPARE(line->baudRate, baud);
    QCOMPARE(line->dataBits, dataBits);
    QCOMPARE(line->stopBits, stopBits);
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
