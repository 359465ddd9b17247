#include "tools/browser_model.h"

#include <QTest>

namespace {

/// A browser control that records the commands it gets and reports what the test sets.
class FakeEngine final : public BrowserEngine
{
public:
    Failure navigate(const QString& address) override { return record("navigate " + address); }
    Failure goBack() override { return record("back"); }
    Failure goForward() override { return record("forward"); }
    Failure goHome() override { return record("home"); }
    Failure goSearch() override { return record("search"); }
    Failure refresh() override { return record("refresh"); }
    Failure stop() override { return record("stop"); }
    bool busy() const override { return isBusy; }
    QString locationName() const override { return name; }
    QString locationURL() const override { return url; }

    QStringList commands;
    QStringList failing;
    bool isBusy = false;
    QString name;
    QString url;

private:
    Failure record(const QString& command)
    {
        commands.append(command);
        if (failing.contains(command.section(' ', 0, 0)))
            return QString("cannot " + command);
        return std::nullopt;
    }
};

// Runs a script of window events, separated by "|": "reach URL TITLE" (the engine reports a page
// reached), "name TITLE" (the page's title changes), "done", "pick N", "type TEXT", "enter", "key",
// "busy", "idle", "tick", "button KEY".
void play(BrowserWindowModel& model, FakeEngine& engine, const QString& script)
{
    for (const QString& event : script.split('|', Qt::SkipEmptyParts)) {
        const QString verb = event.section(' ', 0, 0);
        const QString rest = event.section(' ', 1);
        if (verb == "reach") {
            engine.url = rest.section(' ', 0, 0);
            engine.name = rest.section(' ', 1);
            model.navigateComplete();
        } else if (verb == "name") {
            engine.name = rest;
        } else if (verb == "done") {
            model.downloadComplete();
        } else if (verb == "pick") {
            model.addressSelected(rest.toInt());
        } else if (verb == "type") {
            model.addressEdited(rest);
        } else if (verb == "enter") {
            model.addressKeyPress(13);
        } else if (verb == "key") {
            model.addressKeyPress('a');
        } else if (verb == "busy" || verb == "idle") {
            engine.isBusy = verb == "busy";
        } else if (verb == "tick") {
            model.timerTick();
        } else if (verb == "button") {
            model.buttonClick(rest);
        } else {
            QFAIL(qPrintable("unknown event " + event));
        }
    }
}

} // namespace

class TestBrowserModel : public QObject
{
    Q_OBJECT

private slots:
    void events_data();
    void events();
    void failingCommandsAreSkipped();
};

void TestBrowserModel::events_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("history");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("timer");

    const QString a = "http://127.0.0.1/a", b = "http://127.0.0.1/b";
    const QString initial = "Lumo Brisk Terminal";
    QTest::newRow("no starting address")
        << ""
        << "" << QStringList() << "" << -1 << QStringList() << initial << false;
    QTest::newRow("starting address") << a << "" << QStringList { a } << a << -1
                                      << QStringList { "navigate " + a } << initial << true;
    QTest::newRow("reported in another form")
        << "http://10.0.0.1"
        << "reach http://10.0.0.1/ Home page"
        << QStringList { "http://10.0.0.1/", "http://10.0.0.1" } << "http://10.0.0.1/" << 0
        << QStringList { "navigate http://10.0.0.1" } << "Home page" << true;
    QTest::newRow("same page again moves to the top")
        << a << "reach " + a + " A|reach " + b + " B|reach " + a + " A" << QStringList { a, b } << a
        << 0 << QStringList { "navigate " + a } << "A" << true;
    QTest::newRow("letter case makes another entry")
        << ""
        << "reach http://x/A A|reach http://x/a a" << QStringList { "http://x/a", "http://x/A" }
        << "http://x/a" << 0 << QStringList() << "a" << false;
    QTest::newRow("picking an entry navigates once")
        << a << "reach " + a + " A|reach " + b + " B|pick 1|reach " + a + " A"
        << QStringList { a, b } << a << 0 << QStringList { "navigate " + a, "navigate " + a } << "A"
        << true;
    QTest::newRow("enter hands the text over unchanged")
        << ""
        << "type  not an address ?|key|enter" << QStringList() << " not an address ?" << -1
        << QStringList { "navigate  not an address ?" } << initial << true;
    QTest::newRow("picking then typing")
        << ""
        << "reach " + a + " A|reach " + b + " B|pick 1|type x|enter" << QStringList { b, a } << "x"
        << 1 << QStringList { "navigate " + a, "navigate x" } << "B" << true;
    QTest::newRow("busy shows working") << a << "busy|tick|tick" << QStringList { a } << a << -1
                                        << QStringList { "navigate " + a } << "Working..." << true;
    QTest::newRow("idle shows the page title")
        << a << "busy|tick|reach " + a + " A|tick|idle|tick" << QStringList { a } << a << 0
        << QStringList { "navigate " + a } << "A" << false;
    QTest::newRow("a title while busy gives way to working")
        << a << "busy|tick|name A|done|tick" << QStringList { a } << a << -1
        << QStringList { "navigate " + a } << "Working..." << true;
    QTest::newRow("stop ends working at once")
        << a << "busy|tick|reach " + a + " A|tick|button Stop" << QStringList { a } << a << 0
        << QStringList { "navigate " + a, "stop" } << "A" << false;
    QTest::newRow("buttons by key")
        << ""
        << "button Back|button Forward|button Refresh|button Home|button Search|button back"
        << QStringList() << "" << -1
        << QStringList { "back", "forward", "refresh", "home", "search" } << initial << true;
    QTest::newRow("download complete sets the title")
        << ""
        << "reach " + a + " A|name Renamed|done" << QStringList { a } << a << 0 << QStringList()
        << "Renamed" << false;
}

void TestBrowserModel::events()
{
    QFETCH(QString, start);
    QFETCH(QString, script);
    QFETCH(QStringList, history);
    QFETCH(QString, text);
    QFETCH(int, index);
    QFETCH(QStringList, commands);
    QFETCH(QString, title);
    QFETCH(bool, timer);
    FakeEngine engine;
    BrowserWindowModel model(engine);
    model.setStartingAddress(start);
    QVERIFY(!model.load());
    play(model, engine, script);
    QCOMPARE(model.history(), history);
    QCOMPARE(model.addressText(), text);
    QCOMPARE(model.listIndex(), index);
    QCOMPARE(engine.commands, commands);
    QCOMPARE(model.title(), title);
    QCOMPARE(model.timerEnabled(), timer);
}

void TestBrowserModel::failingCommandsAreSkipped()
{
    FakeEngine engine;
    engine.failing = { "back", "stop", "navigate" };
    engine.name = "Page";
    BrowserWindowModel model(engine);
    // Load alone reports its failure, after the steps before it.
    model.setStartingAddress("file:///help.htm");
    QVERIFY(model.load());
    QCOMPARE(model.history(), QStringList { "file:///help.htm" });
    model.buttonClick("Back");
    QVERIFY(model.timerEnabled());
    // Stop goes on to the title although the engine could not stop.
    model.buttonClick("Stop");
    QCOMPARE(model.title(), "Page");
    QVERIFY(!model.timerEnabled());
    model.addressEdited("x");
    model.addressKeyPress(13);
    QCOMPARE(engine.commands,
        QStringList({ "navigate file:///help.htm", "back", "stop", "navigate x" }));
}

QTEST_APPLESS_MAIN(TestBrowserModel)
#include "test_browser_model.moc"
