#include "core/addresses.h"
#include "core/browser_model.h"

#include <QTest>

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

class TestBrowserModel : public QObject
{
    Q_OBJECT

private slots:
    void handlers();
    void addressFromBoxes_data();
    void addressFromBoxes();
};

void TestBrowserModel::handlers()
{
    FakeEngine engine;
    BrowserWindowModel model(engine);
    // Load alone reports its failure; every other handler skips a failing step and goes on.
    engine.failing = QStringList { "navigate" };
    model.setStartingAddress(a);
    QCOMPARE(model.load(), Failure("navigate " + a));
    engine.failing = QStringList { "back", "stop" };

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

void TestBrowserModel::addressFromBoxes_data()
{
    QTest::addColumn<QStringList>("octets");
    QTest::addColumn<QString>("address"); // empty: the texts make no address
    QTest::newRow("leading zeros") << QStringList { "127", "000", "009", "010" } << "127.0.9.10";
    QTest::newRow("bounds") << QStringList { "255", "0", "00", "255" } << "255.0.0.255";
    QTest::newRow("above 255") << QStringList { "127", "0", "0", "256" } << "";
    QTest::newRow("empty part") << QStringList { "127", "", "0", "1" } << "";
    // Texts that leadingNumber() reads as a number but that are no plain decimal byte.
    QTest::newRow("blank") << QStringList { "127", "0", "0", " 1" } << "";
    QTest::newRow("hexadecimal") << QStringList { "127", "0", "0", "&H10" } << "";
    QTest::newRow("fraction") << QStringList { "127", "0", "0", "1.0" } << "";
    QTest::newRow("other digits") << QStringList { "127", "0", "0", "\u0661" } << "";
}

void TestBrowserModel::addressFromBoxes()
{
    QFETCH(QStringList, octets);
    QFETCH(QString, address);
    QCOMPARE(decimalAddress(octets).value_or(QString()), address);
}

QTEST_APPLESS_MAIN(TestBrowserModel)
#include "test_browser_model.moc"
