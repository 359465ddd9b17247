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
// reached), "done TITLE" (a download ends with this title), "pick N", "type TEXT", "enter",
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
        } else if (verb == "done") {
            engine.name = rest;
            model.downloadComplete();
        } else if (verb == "pick") {
            model.addressSelected(rest.toInt());
        } else if (verb == "type") {
            model.addressEdited(rest);
        } else if (verb == "enter") {
            model.addressKeyPress(13);
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
};

void TestBrowserModel::events_data()
{
    QTest::addColumn<QStringList>("failing"); // the engine's commands that fail
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("history");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("timer");
    const auto row = [](const char* tag, const QString& start, const QString& script,
                         const QStringList& history, const QString& text, int index,
                         const QStringList& commands, const QString& title, bool timer,
                         const QStringList& failing = {}) {
        QTest::newRow(tag) << failing << start << script << history << text << index << commands
                           << title << timer;
    };
    const QString a = "http://127.0.0.1/a", b = "http://127.0.0.1/b";
    const QString initial = "Lumo Brisk Terminal";
    const QStringList toA { "navigate " + a };
    row("no starting address", "", "", {}, "", -1, {}, initial, false);
    // The engine reports the first page in another form, a new entry; reached again, it moves to
    // the top.
    row("reported in another form, then again", a,
        "reach " + a + "/ A|reach " + b + " B|reach " + a + "/ A", { a + "/", b, a }, a + "/", 0,
        toA, "A", true);
    row("picking an entry navigates once", a,
        "reach " + a + " A|reach " + b + " B|pick 1|reach " + a + " A", { a, b }, a, 0,
        { "navigate " + a, "navigate " + a }, "A", true);
    row("picking then typing: Enter hands the text over unchanged", "",
        "reach " + a + " A|reach " + b + " B|pick 1|type  not an address ?|enter", { b, a },
        " not an address ?", 1, { "navigate " + a, "navigate  not an address ?" }, "B", true);
    row("busy shows working", a, "busy|tick|tick", { a }, a, -1, toA, "Working...", true);
    row("idle shows the page title", a, "busy|tick|reach " + a + " A|tick|idle|tick", { a }, a, 0,
        toA, "A", false);
    row("buttons by key", "",
        "button Back|button Forward|button Refresh|button Home|button Search|button back", {}, "",
        -1, { "back", "forward", "refresh", "home", "search" }, initial, true);
    row("download complete sets the title", "", "reach " + a + " A|done Renamed", { a }, a, 0, {},
        "Renamed", false);
    // Load alone reports its failure, after the steps before it; Stop stops the busy indication
    // and goes on to the title.
    row("failing commands are skipped", a, "reach " + a + " A|busy|tick|button Back|button Stop",
        { a }, a, 0, { "navigate " + a, "back", "stop" }, "A", false,
        { "navigate", "back", "stop" });
}

void TestBrowserModel::events()
{
    QFETCH(QStringList, failing);
    QFETCH(QString, start);
    QFETCH(QString, script);
    FakeEngine engine;
    engine.failing = failing;
    BrowserWindowModel model(engine);
    model.setStartingAddress(start);
    QCOMPARE(model.load().has_value(), failing.contains("navigate"));
    play(model, engine, script);
    QTEST(model.history(), "history");
    QTEST(model.addressText(), "text");
    QTEST(model.listIndex(), "index");
    QTEST(engine.commands, "commands");
    QTEST(model.title(), "title");
    QTEST(model.timerEnabled(), "timer");
}

QTEST_APPLESS_MAIN(TestBrowserModel)
#include "test_browser_model.moc"
