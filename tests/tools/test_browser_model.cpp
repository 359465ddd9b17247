#include "tools/browser_model.h"

#include <QSignalSpy>
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
    void load_data();
    void load();
    void events_data();
    void events();
    void failingCommandsAreSkipped();
    void signalsFollowTheState();
    void resizeRule_data();
    void resizeRule();
};

void TestBrowserModel::load_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("history");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<bool>("timer");
    QTest::newRow("empty") << "" << QStringList() << QStringList() << false;
    QTest::newRow("address") << "http://192.168.0.10" << QStringList { "http://192.168.0.10" }
                             << QStringList { "navigate http://192.168.0.10" } << true;
}

void TestBrowserModel::load()
{
    QFETCH(QString, start);
    QFETCH(QStringList, history);
    QFETCH(QStringList, commands);
    QFETCH(bool, timer);
    FakeEngine engine;
    BrowserWindowModel model(engine);
    model.setStartingAddress(start);
    QVERIFY(!model.load());
    QCOMPARE(model.history(), history);
    QCOMPARE(model.addressText(), start);
    QCOMPARE(model.listIndex(), -1);
    QCOMPARE(engine.commands, commands);
    QCOMPARE(model.timerEnabled(), timer);
    QCOMPARE(model.title(), "Lumo Brisk Terminal");

    // An engine that cannot navigate fails the load, after the steps before it.
    FakeEngine broken;
    broken.failing = { "navigate" };
    BrowserWindowModel failing(broken);
    failing.setStartingAddress("file:///help.htm");
    QVERIFY(failing.load());
    QCOMPARE(failing.history(), QStringList { "file:///help.htm" });
}

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
    model.buttonClick("Back");
    QVERIFY(model.timerEnabled());
    // Stop goes on to the title although the engine could not stop.
    model.buttonClick("Stop");
    QCOMPARE(model.title(), "Page");
    QVERIFY(!model.timerEnabled());
    model.addressEdited("x");
    model.addressKeyPress(13);
    QCOMPARE(engine.commands, QStringList({ "back", "stop", "navigate x" }));
}

void TestBrowserModel::signalsFollowTheState()
{
    FakeEngine engine;
    BrowserWindowModel model(engine);
    QSignalSpy titles(&model, &BrowserWindowModel::titleChanged);
    QSignalSpy timer(&model, &BrowserWindowModel::timerEnabledChanged);
    QSignalSpy box(&model, &BrowserWindowModel::addressBoxChanged);
    model.setStartingAddress("http://a");
    QVERIFY(!model.load());
    engine.url = "http://a/";
    engine.name = "A";
    model.navigateComplete();
    model.timerTick();
    QCOMPARE(titles.size(), 1);
    QCOMPARE(titles.at(0).at(0).toString(), "A");
    QCOMPARE(timer.size(), 2);
    QCOMPARE(box.size(), 2);
}

void TestBrowserModel::resizeRule_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("addressWidth");
    QTest::addColumn<int>("browserHeight");
    // Twips, with the address panel's bottom at 1215 and the margin of 100.
    QTest::newRow("initial") << 6255 << 5130 << 6155 << 3815;
    QTest::newRow("exactly the margin") << 100 << 1315 << 0 << 0;
    QTest::newRow("too low") << 6255 << 1314 << 6155 << -1;
    QTest::newRow("too narrow") << 99 << 5130 << -1 << 3815;
}

void TestBrowserModel::resizeRule()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, addressWidth);
    QFETCH(int, browserHeight);
    const BrowserSizes sizes = browserSizes(width, height, 1215, 100);
    QCOMPARE(sizes.addressWidth.value_or(-1), addressWidth);
    QCOMPARE(sizes.browserWidth.value_or(-1), addressWidth);
    QCOMPARE(sizes.browserHeight.value_or(-1), browserHeight);
}

QTEST_APPLESS_MAIN(TestBrowserModel)
#include "test_browser_model.moc"
