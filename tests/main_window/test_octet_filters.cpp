#include "main_window/leading_number.h"
#include "main_window/octet_filters.h"

#include <QTest>

class TestOctetFilters : public QObject
{
    Q_OBJECT

private slots:
    void decimal_data();
    void decimal();
    void hex_data();
    void hex();
    void leadingNumber_data();
    void leadingNumber();
};

void TestOctetFilters::decimal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<int>("signal");

    QTest::newRow("empty") << ""
                           << "" << 0;
    QTest::newRow("one digit") << "7"
                               << "7" << 0;
    QTest::newRow("letter alone") << "x"
                                  << "" << 0;
    QTest::newRow("letter after digit") << "3x"
                                        << "3" << 0;
    QTest::newRow("point at end") << "12."
                                  << "12" << 0;
    QTest::newRow("25 stays") << "25"
                              << "25" << 0;
    QTest::newRow("26 completes") << "26"
                                  << "26" << 1;
    QTest::newRow("99 completes") << "99"
                                  << "99" << 1;
    QTest::newRow("01 stays") << "01"
                              << "01" << 0;
    QTest::newRow("000 completes") << "000"
                                   << "000" << 1;
    QTest::newRow("012 completes") << "012"
                                   << "012" << 1;
    QTest::newRow("255 completes") << "255"
                                   << "255" << 1;
    QTest::newRow("256 cut") << "256"
                             << "25" << 0;
    QTest::newRow("300 cut") << "300"
                             << "30" << 0;
    QTest::newRow("999 cut") << "999"
                             << "99" << 0;
    QTest::newRow("2557 cut to three") << "2557"
                                       << "255" << 0;
    QTest::newRow("1234 cut to three") << "1234"
                                       << "123" << 0;
    QTest::newRow("1255 typed in front") << "1255"
                                         << "125" << 0;
    QTest::newRow("letter in the middle") << "1x2"
                                          << "1x2" << 1;
    QTest::newRow("deleted to 92") << "92"
                                   << "92" << 1;
    QTest::newRow("deleted to 19") << "19"
                                   << "19" << 0;
    QTest::newRow("12xyz loses z") << "12xyz"
                                   << "12xy" << 0;
    QTest::newRow("exponent read in the value") << "1e3"
                                                << "1e" << 0;
    QTest::newRow("sign in front") << "-99"
                                   << "-99" << 1;
    QTest::newRow("non-latin digit") << QString::fromUtf8("1\u0663") << "1" << 0;
}

void TestOctetFilters::decimal()
{
    QFETCH(QString, text);
    QFETCH(QString, kept);
    QFETCH(int, signal);
    QCOMPARE(FilterDecimalOctet(text), (OctetFilterResult { kept, static_cast<qint16>(signal) }));
}

void TestOctetFilters::hex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<int>("signal");

    QTest::newRow("empty") << ""
                           << "" << 0;
    QTest::newRow("lower a") << "a"
                             << "A" << 0;
    QTest::newRow("digit") << "1"
                           << "1" << 0;
    QTest::newRow("AB completes") << "AB"
                                  << "AB" << 1;
    QTest::newRow("Ab upper-cases the last") << "Ab"
                                             << "AB" << 1;
    QTest::newRow("g dropped") << "1g"
                               << "1" << 0;
    QTest::newRow("G dropped") << "G"
                               << "" << 0;
    QTest::newRow("0a") << "0a"
                        << "0A" << 1;
    QTest::newRow("a0 keeps its lower case") << "a0"
                                             << "a0" << 1;
    QTest::newRow("fff cut") << "fff"
                             << "ff" << 0;
    QTest::newRow("ABC cut") << "ABC"
                             << "AB" << 0;
    QTest::newRow("CAB typed in front") << "CAB"
                                        << "CA" << 0;
    QTest::newRow("0g") << "0g"
                        << "0" << 0;
    QTest::newRow("space") << "A "
                           << "A" << 0;
}

void TestOctetFilters::hex()
{
    QFETCH(QString, text);
    QFETCH(QString, kept);
    QFETCH(int, signal);
    QCOMPARE(FilterHexOctet(text), (OctetFilterResult { kept, static_cast<qint16>(signal) }));
}

void TestOctetFilters::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("digits") << "012" << 12.0;
    QTest::newRow("blanks anywhere") << " 9 6\t0\n0" << 9600.0;
    QTest::newRow("stops at letter") << "1x2" << 1.0;
    QTest::newRow("sign") << "-12" << -12.0;
    QTest::newRow("plus") << "+7" << 7.0;
    QTest::newRow("point") << "2.5" << 2.5;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("two points") << "1.2.3" << 1.2;
    QTest::newRow("exponent E") << "1E3" << 1000.0;
    QTest::newRow("exponent d signed") << "25d-1" << 2.5;
    QTest::newRow("exponent without digits") << "7e" << 7.0;
    QTest::newRow("hex") << "&H2580" << 9600.0;
    QTest::newRow("hex lower") << "&hff" << 255.0;
    QTest::newRow("octal") << "&O17" << 15.0;
    QTest::newRow("octal stops at 8") << "&o78" << 7.0;
    QTest::newRow("ampersand alone") << "&" << 0.0;
    QTest::newRow("no number") << "abc" << 0.0;
    QTest::newRow("sign alone") << "-" << 0.0;
}

void TestOctetFilters::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(::leadingNumber(text), value);
}

QTEST_APPLESS_MAIN(TestOctetFilters)
#include "test_octet_filters.moc"
