#include "fakes/fake_message_boxes.h"
#include "fakes/pty_pair.h"
#include "serial_link/frm_rs232_settings.h"
#include "serial_link/sax_comm.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

template <typename W> W* child(QWidget& dialog, const QString& name)
{
    W* widget = dialog.findChild<W*>(name);
    if (!widget)
        qFatal("no control %s", qPrintable(name));
    return widget;
}

// The log boxes in the order of the control's log switches, ticked where ticks has an "x".
void checkLogBoxes(QWidget& dialog, const char* ticks, bool enabled)
{
    int i = 0;
    for (const char* name : { "chkCommSpyEvent", "chkCommSpyInput", "chkCommSpyOutput",
             "chkCommSpyProperties", "chkCommSpyWarnings" }) {
        auto* box = child<QCheckBox>(dialog, name);
        QCOMPARE(box->isChecked(), ticks[i++] == 'x');
        QCOMPARE(box->isEnabled(), enabled);
    }
}

} // namespace

class TestFrmRS232Settings : public QObject
{
    Q_OBJECT

private slots:
    void loadAndApply_data();
    void loadAndApply();

private:
    PtyPair m_ptys[2]; // COM1 and COM2
};

void TestFrmRS232Settings::loadAndApply_data()
{
    QTest::addColumn<bool>("cancel"); // presses Cancel instead of Apply
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("spyOn"); // CommSpy on, logging input and warnings
    QTest::addColumn<int>("select"); // -1 takes the selection away
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("com2Missing");
    QTest::addColumn<QString>("message"); // empty: the dialog closes without one
    QTest::addColumn<bool>("reopened");
    QTest::addColumn<QString>("end");

    QTest::newRow("open, same port: the settings only")
        << false << "open COM1" << false << 0 << "19200,n,8,2" << false << "" << false
        << "open COM1 19200,n,8,2";
    QTest::newRow("open, COM1 to COM2") << false << "open COM1" << true << 1 << "4800,n,8,1"
                                        << false << "" << true << "open COM2 4800,n,8,1";
    QTest::newRow("open, COM2 back to COM1") << false << "open COM2" << false << 0 << "9600,n,8,1"
                                             << false << "" << true << "open COM1 9600,n,8,1";
    QTest::newRow("closed, COM2 selected") << false << "closed COM1" << false << 1 << "9600,n,8,1"
                                           << false << "" << false << "open COM2 9600,n,8,1";
    QTest::newRow("closed, nothing selected: the name it had")
        << false << "closed COM2" << false << -1 << "38400,n,8,1" << false << "" << false
        << "open COM2 38400,n,8,1";
    QTest::newRow("invalid string") << false << "open COM1" << true << 1 << "115200,n,8,1" << false
                                    << "Illegal SETTINGS string" << false << "open COM1 9600,n,8,1";
    QTest::newRow("port fails to open")
        << false << "open COM1" << false << 1 << "1200,n,8,1" << true
        << "Cannot open serial port COM2" << true << "closed COM2 1200,n,8,1";
    QTest::newRow("Cancel; names are case-sensitive")
        << true << "closed com1 4800,N,8,1" << false << 0 << "19200,n,8,1" << false << "" << false
        << "closed com1 4800,N,8,1";
}

void TestFrmRS232Settings::loadAndApply()
{
    QFETCH(bool, cancel);
    QFETCH(bool, spyOn);
    QFETCH(int, select);
    QFETCH(QString, message);
    QFETCH(bool, com2Missing);
    QFETCH(QString, start);
    QProcessEnvironment environment;
    environment.insert("ZELVIC_COM1", m_ptys[0].endA());
    environment.insert("ZELVIC_COM2", com2Missing ? "/nonexistent/zelvic-com2" : m_ptys[1].endA());
    SaxComm comm(environment);
    const QStringList words = start.split(' '); // as "open COM1 9600,n,8,1", 9600,n,8,1 if none
    QVERIFY(!comm.setCommPort(words[1]) && !comm.setSettings(words.value(2, "9600,n,8,1"))
        && !comm.setPortOpen(words[0] == "open"));
    comm.setCommSpy(spyOn);
    comm.setLogSwitch(LogSwitch::Input, true);
    comm.setLogSwitch(LogSwitch::Warnings, true);
    FakeMessageBoxes boxes;
    frmRS232Settings dialog(comm, boxes);
    dialog.show();
    QList<Qt::CursorShape> cursorsAtClose;
    connect(&comm.port(), &QIODevice::aboutToClose, &dialog,
        [&] { cursorsAtClose.append(dialog.cursor().shape()); });

    // Loaded: the port's state, the entry of exactly its name, its settings, the CommSpy boxes.
    QCOMPARE(child<QLabel>(dialog, "lblPortOpen")->text(),
        comm.portOpen() ? "The port is open" : "The port is closed");
    auto* list = child<QListWidget>(dialog, "comPortList");
    const QList<QListWidgetItem*> picked = list->selectedItems();
    QCOMPARE(picked.isEmpty() ? -1 : list->row(picked.first()),
        QStringList({ "COM1", "COM2" }).indexOf(comm.commPort()));
    auto* settings = child<QLineEdit>(dialog, "txtSettings");
    QCOMPARE(settings->text(), comm.settings());
    // The CommSpy group lies below the design size: the window is enlarged to reach it.
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* frame2 = child<QWidget>(dialog, "Frame2");
    QVERIFY(frame2->visibleRegion().isEmpty());
    dialog.resize(dialog.width(), frame2->geometry().bottom() + 10);
    QTRY_COMPARE(frame2->visibleRegion().boundingRect(), frame2->rect());
    const char* ticks = spyOn ? "-x--x" : "-----";
    checkLogBoxes(dialog, ticks, spyOn);
    // The switch only enables or disables the boxes.
    QTest::mouseClick(child<QCheckBox>(dialog, "chkCommSpy"), Qt::LeftButton);
    checkLogBoxes(dialog, ticks, !spyOn);
    QCOMPARE(comm.commSpy(), spyOn);

    list->clearSelection();
    if (select >= 0)
        list->item(select)->setSelected(true);
    settings->selectAll();
    QFETCH(QString, text);
    QTest::keyClicks(settings, text);
    QTest::mouseClick(child<QCheckBox>(dialog, "chkCommSpyInput"), Qt::LeftButton);
    QTest::mouseClick(
        child<QPushButton>(dialog, cancel ? "cmdCancel" : "cmdApply"), Qt::LeftButton);

    QCOMPARE(boxes.shown.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(boxes.shown.first().contains(message), qPrintable(boxes.shown.first()));
    QCOMPARE(dialog.isVisible(), !message.isEmpty());
    QTEST(QString("%1 %2 %3")
              .arg(comm.portOpen() ? "open" : "closed", comm.commPort(), comm.settings()),
        "end");
    if (comm.portOpen())
        QCOMPARE(comm.port().portName(), comm.devicePath());
    // Reopening shows the busy pointer, and the pointer is restored whatever the outcome.
    QTEST(!cursorsAtClose.isEmpty(), "reopened");
    QVERIFY(!cursorsAtClose.contains(Qt::ArrowCursor));
    QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
    // The CommSpy switches are written only once the port has been dealt with; switched off,
    // every log switch goes off.
    const bool written = !cancel && message.isEmpty();
    QCOMPARE(comm.commSpy(), spyOn != written);
    QCOMPARE(comm.logSwitch(LogSwitch::Input), !(written && spyOn));
    QCOMPARE(comm.logSwitch(LogSwitch::Warnings), !written);
    QVERIFY(!comm.logSwitch(LogSwitch::Events));
}

QTEST_MAIN(TestFrmRS232Settings)
#include "test_frm_rs232_settings.moc"
