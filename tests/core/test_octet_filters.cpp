#include "core/leading_number.h"
#include "core/octet_filters.h"

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
    // Cutting a value above 255, or a text too long, is shown by the main window's own test.
    const auto row = [](bool hex, const QString& text, const char* kept, int signal) {
        QTest::newRow(qPrintable((hex ? "hex " : "decimal ") + text))
            << hex << text << QString(kept) << signal;
    };
    row(false, "", "", 0);
    row(false, "25", "25", 0);
    row(false, "26", "26", 1);
    row(false, "1x2", "1x2", 1); // the value read is 1
    row(false, "1e3", "1e", 0); // the value read is 1000
    row(false, QString::fromUtf8("1\u0663"), "1", 0); // a digit, but not an ASCII one
    row(true, "", "", 0);
    row(true, "Ab", "AB", 1);
    row(true, "a0", "a0", 1); // only the last character is upper-cased
    row(true, "1g", "1", 0);
}

void TestOctetFilters::rules()
{
    QFETCH(bool, hex);
    QFETCH(QString, text);
    const OctetFilterResult result = hex ? FilterHexOctet(text) : FilterDecimalOctet(text);
    QTEST(result.text, "kept");
    QTEST(int(result.focusSignal), "signal");
}

void TestOctetFilters::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    const auto row = [](const char* text, double value) { QTest::newRow(text) << text << value; };
    row(" 9 6\t0\n0", 9600);
    row("-", 0); // a sign alone
    row("1.2.3", 1.2);
    row("25d-1", 2.5);
    row("&hff", 255);
    row("&o78", 7);
}

void TestOctetFilters::leadingNumber()
{
    QFETCH(QString, text);
    QTEST(::leadingNumber(text), "value");
}

QTEST_APPLESS_MAIN(TestOctetFilters)
#include "test_octet_filters.moc"
