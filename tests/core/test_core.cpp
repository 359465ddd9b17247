#include "core/addresses.h"
#include "core/browser_model.h"
#include "core/leading_number.h"
#include "core/line_settings.h"
#include "core/octet_filters.h"
#include "core/settings_string.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <clocale>

Q_DECLARE_METATYPE(LineSettings)

namespace {

/// A browser control that records the commands it gets and reports what the test sets.
class FakeEngine final : public BrowserEngine
{
public:
    Result<> navigate(const QString& address) override { return record("navigate " + address); }
    Result<> goBack() override { return record("back"); }
    Result<> goForward() override { return record("forward"); }
    Result<> goHome() override { return record("home"); }
    Result<> goSearch() override { return record("search"); }
    Result<> refresh() override { return record("refresh"); }
    Result<> stop() override { return record("stop"); }
    bool busy() const override { return isBusy; }
    QString locationName() const override { return name; }
    QString locationURL() const override { return url; }

    // The engine reports a page reached.
    void reach(BrowserWindowModel& model, const QString& address)
    {
        url = address;
        model.navigateComplete();
    }

    QStringList commands;
    QStringList failing; // the commands that fail, by their first word
    bool isBusy = false;
    QString name;
    QString url;

private:
    Result<> record(const QString& command)
    {
        commands.append(command);
        return failing.contains(command.section(' ', 0, 0)) ? Result<>(Failure { command })
                                                            : Result<> {};
    }
};

const QString a = "http://127.0.0.1/a";
const QString b = "http://127.0.0.1/b";

} // namespace

class TestCore : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void leadingNumber_data();
    void leadingNumber();
    void check_data();
    void check();
    void sameUnderADecimalCommaLocale_data() { check_data(); }
    void sameUnderADecimalCommaLocale();
    void cleanup() { std::setlocale(LC_NUMERIC, "C"); }
    void handlers();
    void addressFromBoxes_data();
    void addressFromBoxes();
};

void TestCore::rules_data()
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
    row(false, "1e3", "1e", 0); // the value read is 1000
    row(false, QString::fromUtf8("1\u0663"), "1", 0); // a digit, but not an ASCII one
    row(true, "", "", 0);
    row(true, "Ab", "AB", 1);
    row(true, "a0", "a0", 1); // only the last character is upper-cased
    row(true, "1g", "1", 0);
}

void TestCore::rules()
{
    QFETCH(bool, hex);
    QFETCH(QString, text);
    const OctetFilterResult result = hex ? FilterHexOctet(text) : FilterDecimalOctet(text);
    QTEST(result.text, "kept");
    QTEST(int(result.focusSignal), "signal");
}

void TestCore::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    const auto row = [](const char* text, double value) { QTest::newRow(text) << text << value; };
    row(" 9 6\t0\n0", 9600);
    row("25d-1", 2.5);
    row("&hff", 255);
    row("&o78", 7);
}

void TestCore::leadingNumber()
{
    QFETCH(QString, text);
    QTEST(::leadingNumber(text), "value");
}

void TestCore::check_data()
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
    row("9600,o,8,2.5", true, 9600, P::Odd, 8, 2);
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

void TestCore::check()
{
    QFETCH(QString, text);
    QTEST(IsValidSettingsString(text), "valid");
    QTEST(parseLineSettings(text).value_or(LineSettings { 0, {}, 0, 0 }), "line");
}

void TestCore::sameUnderADecimalCommaLocale()
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

void TestCore::handlers()
{
    FakeEngine engine;
    BrowserWindowModel model(engine);
    // Every handler but load (whose failure the browser window's test shows) skips a failing step
    // and goes on.
    engine.failing = QStringList { "back", "stop" };
    model.setStartingAddress(a);
    QVERIFY(model.load().ok());

    // The first page reported in another form is a new entry. A picked entry navigates once:
    // reached, it moves to the top without another navigation.
    engine.reach(model, a + "/");
    engine.reach(model, b);
    model.addressSelected(1);
    engine.reach(model, a + "/");
    QCOMPARE(model.history(), (QStringList { a + "/", b, a }));
    QCOMPARE(model.listIndex(), 0);
    // Enter hands the text over as it was typed.
    model.addressEdited(" not an address ?");
    model.addressKeyPress(13);

    engine.isBusy = true;
    model.timerTick();
    QCOMPARE(model.title(), "Working...");
    // Once the engine is idle, a tick ends the busy indication and shows the page's title.
    engine.isBusy = false;
    engine.name = "A";
    model.timerTick();
    QCOMPARE(model.title(), "A");
    QVERIFY(!model.timerEnabled());
    // Stop, after the failing steps, ends the busy indication the buttons start and shows the
    // page's title.
    engine.name = "B";
    for (const char* key : { "Back", "Forward", "Refresh", "Home", "Search", "back", "Stop" })
        model.buttonClick(key);
    QCOMPARE(engine.commands,
        (QStringList { "navigate " + a, "navigate " + a + "/", "navigate  not an address ?", "back",
            "forward", "refresh", "home", "search", "stop" }));
    QCOMPARE(model.title(), "B");
    QVERIFY(!model.timerEnabled());
}

void TestCore::addressFromBoxes_data()
{
    QTest::addColumn<QStringList>("octets");
    QTest::addColumn<QString>("address"); // empty: the texts make no address
    QTest::newRow("bounds") << QStringList { "255", "0", "00", "255" } << "255.0.0.255";
    QTest::newRow("above 255") << QStringList { "127", "0", "0", "256" } << "";
    QTest::newRow("empty part") << QStringList { "127", "", "0", "1" } << "";
    // Texts that leadingNumber() reads as a number but that are no plain decimal byte.
    QTest::newRow("blank") << QStringList { "127", "0", "0", " 1" } << "";
    QTest::newRow("fraction") << QStringList { "127", "0", "0", "1.0" } << "";
    QTest::newRow("other digits") << QStringList { "127", "0", "0", "\u0661" } << "";
}

void TestCore::addressFromBoxes()
{
    QFETCH(QStringList, octets);
    QFETCH(QString, address);
    QCOMPARE(decimalAddress(octets).value_or(QString()), address);
}

QTEST_GUILESS_MAIN(TestCore)
#include "test_core.moc"
