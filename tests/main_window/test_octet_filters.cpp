#include "main_window/leading_number.h"
#include "main_window/octet_filters.h"

#include <QTest>

class TestOctetFilters : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void leadingNumber_data();
    void leadingNumber();
};

void TestOctetFilters::rules_data()
{
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<int>("signal");
    const auto decimal = [](const char* tag, const QString& text, const char* kept, int signal) {
        QTest::newRow(tag) << false << text << QString(kept) << signal;
    };
    const auto hex = [](const char* tag, const QString& text, const char* kept, int signal) {
        QTest::newRow(tag) << true << text << QString(kept) << signal;
    };
    decimal("empty", "", "", 0);
    decimal("letter alone", "x", "", 0);
    decimal("letter after a digit", "3x", "3", 0);
    decimal("point at the end", "12.", "12", 0);
    decimal("25 stays", "25", "25", 0);
    decimal("26 completes", "26", "26", 1);
    decimal("01 stays", "01", "01", 0);
    decimal("012 completes", "012", "012", 1);
    decimal("255 completes", "255", "255", 1);
    decimal("256 cut", "256", "25", 0);
    decimal("300 cut", "300", "30", 0);
    decimal("2557 cut to three", "2557", "255", 0);
    decimal("1255 typed in front", "1255", "125", 0);
    decimal("letter in the middle", "1x2", "1x2", 1);
    decimal("12xyz loses its z", "12xyz", "12xy", 0);
    decimal("exponent read in the value", "1e3", "1e", 0);
    decimal("non-latin digit", QString::fromUtf8("1\u0663"), "1", 0);
    hex("empty", "", "", 0);
    hex("lower a", "a", "A", 0);
    hex("AB completes", "AB", "AB", 1);
    hex("Ab upper-cases the last", "Ab", "AB", 1);
    hex("g dropped", "1g", "1", 0);
    hex("G alone dropped", "G", "", 0);
    hex("0a", "0a", "0A", 1);
    hex("a0 keeps its lower case", "a0", "a0", 1);
    hex("fff cut", "fff", "ff", 0);
    hex("ABC cut", "ABC", "AB", 0);
    hex("space", "A ", "A", 0);
}

void TestOctetFilters::rules()
{
    QFETCH(bool, hex);
    QFETCH(QString, text);
    QFETCH(QString, kept);
    QFETCH(int, signal);
    const OctetFilterResult result = hex ? FilterHexOctet(text) : FilterDecimalOctet(text);
    QCOMPARE(result, (OctetFilterResult { kept, static_cast<qint16>(signal) }));
}

void TestOctetFilters::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    const auto row = [](const char* text, double value) { QTest::newRow(text) << text << value; };
    row("", 0);
    row("012", 12);
    row(" 9 6\t0\n0", 9600);
    row("1x2", 1);
    row("-12", -12);
    row(".5", 0.5);
    row("1.2.3", 1.2);
    row("1E3", 1000);
    row("25d-1", 2.5);
    row("7e", 7);
    row("&hff", 255);
    row("&O17", 15);
    row("&o78", 7);
    row("&", 0);
    row("-", 0);
}

void TestOctetFilters::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(::leadingNumber(text), value);
}

QTEST_APPLESS_MAIN(TestOctetFilters)
#include "test_octet_filters.moc"
