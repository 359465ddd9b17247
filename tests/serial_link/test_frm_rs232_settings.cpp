#include "fakes/fake_message_boxes.h"
#include "fakes/pty_pair.h"
#include "main_window/frm_main.h"
#include "serial_link/frm_rs232_settings.h"
#include "serial_link/sax_comm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QStringList kLogBoxes { "chkCommSpyEvent", "chkCommSpyInput", "chkCommSpyOutput",
    "chkCommSpyProperties", "chkCommSpyWarnings" };
const QList<LogSwitch> kLogSwitches { LogSwitch::Events, LogSwitch::Input, LogSwitch::Output,
    LogSwitch::Properties, LogSwitch::Warnings };

template <typename W> W* child(QWidget& dialog, const QString& name)
{
    W* widget = dialog.findChild<W*>(name);
    if (!widget)
        qFatal("no control %s", qPrintable(name));
    return widget;
}

// The serial control's state in a few words, as "open COM2 4800,n,8,1".
QString state(const SaxComm& comm)
{
    return QString("%1 %2 %3")
        .arg(comm.portOpen() ? "open" : "closed", comm.commPort(), comm.settings());
}

void row(const char* name, const char* press, const char* start, int select, const char* text,
    bool com2Missing, const char* message, const char* end, bool reopened)
{
    QTest::newRow(name) << QString(press) << QString(start) << select << QString(text)
                        << com2Missing << QString(message) << QString(end) << reopened;
}

} // namespace

class TestFrmRS232Settings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void load_data();
    void load();
    void apply_data();
    void apply();
    void menuOpensANewModalDialogOverTheMainWindow();
    void commSpyGroupIsReachedByEnlargingTheWindow();

private:
    // COM1, COM2 and COM3 are pseudo-terminals, COM2 missing when asked; start is a state().
    std::unique_ptr<SaxComm> makeComm(const QString& start, bool com2Missing = false);
    PtyPair m_ptys[3];
};

void TestFrmRS232Settings::initTestCase()
{
    for (const PtyPair& pty : m_ptys)
        QVERIFY(pty.isReady());
}

std::unique_ptr<SaxComm> TestFrmRS232Settings::makeComm(const QString& start, bool com2Missing)
{
    QProcessEnvironment environment;
    environment.insert("ZELVIC_COM1", m_ptys[0].endA());
    environment.insert("ZELVIC_COM2", com2Missing ? "/nonexistent/zelvic-com2" : m_ptys[1].endA());
    environment.insert("ZELVIC_COM3", m_ptys[2].endA());
    auto comm = std::make_unique<SaxComm>(environment);
    const QStringList words = start.split(' ');
    if (comm->setCommPort(words[1]) || comm->setSettings(words.value(2, "9600,n,8,1"))
        || comm->setPortOpen(words[0] == "open"))
        qFatal("cannot set up %s", qPrintable(start));
    return comm;
}

void TestFrmRS232Settings::load_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("logs"); // the log switches on, by initial; empty: CommSpy off
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("selected");

    const auto row = [](const char* tag, const char* start, const char* logs, const char* label,
                         int selected) {
        QTest::newRow(tag) << QString(start) << QString(logs) << QString(label) << selected;
    };
    row("closed on COM1", "closed COM1 9600,n,8,1", "", "The port is closed", 0);
    row("open on COM2, logging some", "open COM2 19200,n,8,2", "-i--w", "The port is open", 1);
    row("other name selects nothing", "open COM3 9600,n,8,1", "-----", "The port is open", -1);
    row("names are case-sensitive", "closed com1 4800,N,8,1", "", "The port is closed", -1);
}

void TestFrmRS232Settings::load()
{
    QFETCH(QString, start);
    QFETCH(QString, logs);
    std::unique_ptr<SaxComm> comm = makeComm(start);
    comm->setCommSpy(!logs.isEmpty());
    for (int i = 0; i < 5; ++i)
        comm->setLogSwitch(kLogSwitches[i], logs.isEmpty() || logs[i] != '-');

    FakeMessageBoxes boxes;
    frmRS232Settings dialog(*comm, boxes);
    QTEST(child<QLabel>(dialog, "lblPortOpen")->text(), "label");
    auto* list = child<QListWidget>(dialog, "comPortList");
    QCOMPARE(list->item(0)->text() + list->item(1)->text(), QString("COM1COM2"));
    QCOMPARE(list->count(), 2);
    QTEST(list->selectedItems().isEmpty() ? -1 : list->row(list->selectedItems().first()),
        "selected");
    QCOMPARE(child<QLineEdit>(dialog, "txtSettings")->text(), start.section(' ', 2));
    QCOMPARE(child<QLabel>(dialog, "lblCommSpyLog")->toolTip(), comm->commSpyLogPath());
    auto* spy = child<QCheckBox>(dialog, "chkCommSpy");
    QCOMPARE(spy->isChecked(), !logs.isEmpty());
    // The switch enables or disables the log boxes; their ticks and the control stay as they are.
    for (const bool enabled : { !logs.isEmpty(), logs.isEmpty() }) {
        for (int i = 0; i < 5; ++i) {
            auto* box = child<QCheckBox>(dialog, kLogBoxes[i]);
            QCOMPARE(box->isEnabled(), enabled);
            QCOMPARE(box->isChecked(), !logs.isEmpty() && logs[i] != '-');
        }
        spy->click();
    }
    QCOMPARE(comm->commSpy(), !logs.isEmpty());
}

void TestFrmRS232Settings::apply_data()
{
    QTest::addColumn<QString>("press"); // cmdApply, cmdCancel, or the close box
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("select"); // -1 takes the selection away
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("com2Missing");
    QTest::addColumn<QString>("message"); // empty: the dialog closes without one
    QTest::addColumn<QString>("end");
    QTest::addColumn<bool>("reopened");

    row("open, same port: the settings only", "cmdApply", "open COM1", 0, "19200,n,8,2", false, "",
        "open COM1 19200,n,8,2", false);
    row("open, COM1 to COM2", "cmdApply", "open COM1", 1, "4800,n,8,1", false, "",
        "open COM2 4800,n,8,1", true);
    row("open, COM2 back to COM1", "cmdApply", "open COM2", 0, "9600,n,8,1", false, "",
        "open COM1 9600,n,8,1", true);
    row("open on another name never switches", "cmdApply", "open COM3", -1, "2400,n,8,1", false, "",
        "open COM3 2400,n,8,1", false);
    row("closed, COM2 selected", "cmdApply", "closed COM1", 1, "9600,n,8,1", false, "",
        "open COM2 9600,n,8,1", false);
    row("closed, nothing selected: the name it had", "cmdApply", "closed COM2", -1, "38400,n,8,1",
        false, "", "open COM2 38400,n,8,1", false);
    row("invalid string", "cmdApply", "open COM1", 1, "115200,n,8,1", false,
        "Illegal SETTINGS string", "open COM1 9600,n,8,1", false);
    row("port fails to open, then Apply again", "cmdApply", "open COM1", 1, "1200,n,8,1", true,
        "Cannot open serial port COM2", "closed COM2 1200,n,8,1", true);
    row("open port refuses the settings", "cmdApply", "open COM1", 0, "1200,e,7,1", false,
        "does not take the settings", "open COM1 9600,n,8,1", false);
    row("Cancel writes nothing", "cmdCancel", "open COM1", 1, "19200,n,8,1", false, "",
        "open COM1 9600,n,8,1", false);
    row("close box writes nothing", "", "open COM1", 1, "19200,n,8,1", false, "",
        "open COM1 9600,n,8,1", false);
}

void TestFrmRS232Settings::apply()
{
    QFETCH(QString, press);
    QFETCH(QString, start);
    QFETCH(int, select);
    QFETCH(QString, text);
    QFETCH(bool, com2Missing);
    QFETCH(QString, message);
    std::unique_ptr<SaxComm> comm = makeComm(start, com2Missing);
    FakeMessageBoxes boxes;
    frmRS232Settings dialog(*comm, boxes);
    dialog.show();
    QList<Qt::CursorShape> cursorsAtClose;
    connect(&comm->port(), &QIODevice::aboutToClose, &dialog,
        [&] { cursorsAtClose.append(dialog.cursor().shape()); });
    auto* list = child<QListWidget>(dialog, "comPortList");
    list->clearSelection();
    if (select >= 0)
        list->item(select)->setSelected(true);
    auto* settings = child<QLineEdit>(dialog, "txtSettings");
    settings->selectAll();
    QTest::keyClicks(settings, text);
    QTest::mouseClick(child<QCheckBox>(dialog, "chkCommSpy"), Qt::LeftButton);
    QTest::mouseClick(child<QCheckBox>(dialog, "chkCommSpyInput"), Qt::LeftButton);
    if (press.isEmpty())
        dialog.close();
    else
        QTest::mouseClick(child<QPushButton>(dialog, press), Qt::LeftButton);

    const bool applied = press == "cmdApply" && message.isEmpty();
    QCOMPARE(boxes.shown.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(boxes.shown.first().contains(message), qPrintable(boxes.shown.first()));
    QCOMPARE(dialog.isVisible(), !message.isEmpty());
    QTEST(state(*comm), "end");
    if (comm->portOpen())
        QCOMPARE(comm->port().portName(), comm->devicePath());
    QTEST(!cursorsAtClose.isEmpty(), "reopened");
    QVERIFY(!cursorsAtClose.contains(Qt::ArrowCursor));
    QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
    // The CommSpy switches are written only once the port has been dealt with.
    QCOMPARE(comm->commSpy(), applied);
    QCOMPARE(comm->logSwitch(LogSwitch::Input), applied);
    QVERIFY(!comm->logSwitch(LogSwitch::Events));
    if (com2Missing) {
        // Apply again starts over and, the port now being closed, takes the closed-port path.
        list->item(0)->setSelected(true);
        QTest::mouseClick(child<QPushButton>(dialog, "cmdApply"), Qt::LeftButton);
        QCOMPARE(boxes.shown.size(), 1);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(state(*comm), "open COM1 " + text);
    }
}

void TestFrmRS232Settings::menuOpensANewModalDialogOverTheMainWindow()
{
    std::unique_ptr<SaxComm> comm = makeComm("closed COM1");
    FakeMessageBoxes boxes;
    frmMain window(*comm, boxes);
    attachRS232Settings(window, *comm, boxes);
    window.show();
    QPointer<QWidget> first;
    QTimer::singleShot(0, [&] {
        first = QApplication::activeModalWidget();
        QVERIFY(first);
        QCOMPARE(first->objectName(), QString("frmRS232Settings"));
        QCOMPARE(first->windowTitle(), QString("RS232 configuration"));
        QCOMPARE(first->parentWidget(), &window);
        QTest::mouseClick(child<QPushButton>(*first, "cmdCancel"), Qt::LeftButton);
    });
    window.menuItem("RS232Menu")->trigger();
    // Unloaded when it closes: the next opening loads a new dialog.
    QVERIFY(first.isNull());
}

void TestFrmRS232Settings::commSpyGroupIsReachedByEnlargingTheWindow()
{
    std::unique_ptr<SaxComm> comm = makeComm("closed COM1");
    FakeMessageBoxes boxes;
    frmRS232Settings dialog(*comm, boxes);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* frame2 = child<QGroupBox>(dialog, "Frame2");
    QVERIFY(!child<QPushButton>(dialog, "cmdApply")->visibleRegion().isEmpty());
    QVERIFY(frame2->visibleRegion().isEmpty());

    dialog.resize(dialog.width(), frame2->geometry().bottom() + 10);
    QTRY_COMPARE(dialog.height(), frame2->geometry().bottom() + 10);
    for (const QString& name : kLogBoxes + QStringList { "chkCommSpy", "lblCommSpyLog" }) {
        auto* control = child<QWidget>(dialog, name);
        QCOMPARE(control->visibleRegion().boundingRect(), control->rect());
    }
}

QTEST_MAIN(TestFrmRS232Settings)
#include "test_frm_rs232_settings.moc"
