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
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QStringList kLogBoxes { "chkCommSpyEvent", "chkCommSpyInput", "chkCommSpyOutput",
    "chkCommSpyProperties", "chkCommSpyWarnings" };
const QList<LogSwitch> kLogSwitches { LogSwitch::Events, LogSwitch::Input, LogSwitch::Output,
    LogSwitch::Properties, LogSwitch::Warnings };

template <typename W> W* child(QWidget& dialog, const char* name)
{
    W* widget = dialog.findChild<W*>(name);
    if (!widget)
        qFatal("no control %s", name);
    return widget;
}

} // namespace

class TestFrmRS232Settings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void load_data();
    void load();
    void commSpySwitchEnablesTheLogBoxes();
    void apply_data();
    void apply();
    void applyAfterAFailureTakesTheClosedPortPath();
    void cancelWritesNothing_data();
    void cancelWritesNothing();
    void menuOpensANewModalDialogOverTheMainWindow();
    void commSpyGroupIsReachedByEnlargingTheWindow();

private:
    // COM1, COM2 and COM3 are pseudo-terminals; COM2 is missing when asked for.
    std::unique_ptr<SaxComm> makeComm(bool com2Missing = false);
    PtyPair m_ptys[3];
};

void TestFrmRS232Settings::initTestCase()
{
    for (const PtyPair& pty : m_ptys)
        QVERIFY(pty.isReady());
}

std::unique_ptr<SaxComm> TestFrmRS232Settings::makeComm(bool com2Missing)
{
    QProcessEnvironment environment;
    environment.insert("ZELVIC_COM1", m_ptys[0].endA());
    environment.insert("ZELVIC_COM2", com2Missing ? "/nonexistent/zelvic-com2" : m_ptys[1].endA());
    environment.insert("ZELVIC_COM3", m_ptys[2].endA());
    return std::make_unique<SaxComm>(environment);
}

void TestFrmRS232Settings::load_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("portName");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<bool>("commSpy");
    QTest::addColumn<QList<bool>>("logs");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("selected");

    const QList<bool> none(5, false);
    QTest::newRow("closed on COM1") << false << "COM1"
                                    << "9600,n,8,1" << false << none << "The port is closed" << 0;
    QTest::newRow("open on COM2, logging some")
        << true << "COM2"
        << "19200,n,8,2" << true << QList<bool> { false, true, false, false, true }
        << "The port is open" << 1;
    QTest::newRow("log switches without CommSpy are not shown")
        << true << "COM1"
        << "4800,N,8,1" << false << QList<bool>(5, true) << "The port is open" << 0;
    QTest::newRow("other port name selects nothing")
        << true << "COM3"
        << "9600,n,8,1" << true << none << "The port is open" << -1;
    QTest::newRow("names are case-sensitive")
        << false << "com1"
        << "9600,n,8,1" << false << none << "The port is closed" << -1;
}

void TestFrmRS232Settings::load()
{
    QFETCH(bool, open);
    QFETCH(QString, portName);
    QFETCH(QString, settings);
    QFETCH(bool, commSpy);
    QFETCH(QList<bool>, logs);
    std::unique_ptr<SaxComm> comm = makeComm();
    QCOMPARE(comm->setCommPort(portName), Failure {});
    QCOMPARE(comm->setSettings(settings), Failure {});
    QCOMPARE(comm->setPortOpen(open), Failure {});
    comm->setCommSpy(commSpy);
    for (int i = 0; i < 5; ++i)
        comm->setLogSwitch(kLogSwitches[i], logs[i]);

    FakeMessageBoxes boxes;
    frmRS232Settings dialog(*comm, boxes);
    QTEST(child<QLabel>(dialog, "lblPortOpen")->text(), "label");
    auto* list = child<QListWidget>(dialog, "comPortList");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QString("COM1"));
    QCOMPARE(list->item(1)->text(), QString("COM2"));
    const QList<QListWidgetItem*> selected = list->selectedItems();
    QTEST(selected.isEmpty() ? -1 : list->row(selected.first()), "selected");
    QCOMPARE(child<QLineEdit>(dialog, "txtSettings")->text(), settings);
    QCOMPARE(child<QCheckBox>(dialog, "chkCommSpy")->isChecked(), commSpy);
    for (int i = 0; i < 5; ++i) {
        auto* box = child<QCheckBox>(dialog, qPrintable(kLogBoxes[i]));
        QCOMPARE(box->isEnabled(), commSpy);
        QCOMPARE(box->isChecked(), commSpy && logs[i]);
    }
    QVERIFY(boxes.shown.isEmpty());
}

void TestFrmRS232Settings::commSpySwitchEnablesTheLogBoxes()
{
    std::unique_ptr<SaxComm> comm = makeComm();
    FakeMessageBoxes boxes;
    frmRS232Settings dialog(*comm, boxes);
    dialog.show();
    auto* spy = child<QCheckBox>(dialog, "chkCommSpy");
    auto* output = child<QCheckBox>(dialog, "chkCommSpyOutput");
    QTest::mouseClick(spy, Qt::LeftButton);
    QVERIFY(output->isEnabled());
    QTest::mouseClick(output, Qt::LeftButton);
    QTest::mouseClick(spy, Qt::LeftButton);
    QVERIFY(!output->isEnabled());
    QVERIFY(output->isChecked());
    QVERIFY(!comm->commSpy());
}

void TestFrmRS232Settings::apply_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("portName");
    QTest::addColumn<int>("select"); // -1 takes the selection away
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("com2Missing");
    QTest::addColumn<QString>("message"); // empty: the dialog closes without one
    QTest::addColumn<bool>("endOpen");
    QTest::addColumn<QString>("endPort");
    QTest::addColumn<QString>("endSettings");
    QTest::addColumn<bool>("reopened");

    QTest::newRow("open, same port: only the settings")
        << true << "COM1" << 0 << "19200,n,8,2" << false << "" << true << "COM1"
        << "19200,n,8,2" << false;
    QTest::newRow("open, COM1 to COM2")
        << true << "COM1" << 1 << "4800,n,8,1" << false << "" << true << "COM2"
        << "4800,n,8,1" << true;
    QTest::newRow("open, COM2 back to COM1")
        << true << "COM2" << 0 << "9600,n,8,1" << false << "" << true << "COM1"
        << "9600,n,8,1" << true;
    QTest::newRow("open on another name never switches")
        << true << "COM3" << -1 << "2400,n,8,1" << false << "" << true << "COM3"
        << "2400,n,8,1" << false;
    QTest::newRow("closed, COM2 selected")
        << false << "COM1" << 1 << "9600,n,8,1" << false << "" << true << "COM2"
        << "9600,n,8,1" << false;
    QTest::newRow("closed, nothing selected: the name it had")
        << false << "COM2" << -1 << "38400,n,8,1" << false << "" << true << "COM2"
        << "38400,n,8,1" << false;
    QTest::newRow("invalid string") << true << "COM1" << 1 << "115200,n,8,1" << false
                                    << "Illegal SETTINGS string" << true << "COM1"
                                    << "9600,n,8,1" << false;
    QTest::newRow("port fails to open") << true << "COM1" << 1 << "1200,n,8,1" << true
                                        << "Cannot open serial port COM2" << false << "COM2"
                                        << "1200,n,8,1" << true;
    QTest::newRow("open port refuses the settings")
        << true << "COM1" << 0 << "1200,e,7,1" << false << "does not take the settings" << true
        << "COM1"
        << "9600,n,8,1" << false;
}

void TestFrmRS232Settings::apply()
{
    QFETCH(bool, open);
    QFETCH(QString, portName);
    QFETCH(int, select);
    QFETCH(QString, text);
    QFETCH(bool, com2Missing);
    QFETCH(QString, message);
    std::unique_ptr<SaxComm> comm = makeComm(com2Missing);
    QCOMPARE(comm->setCommPort(portName), Failure {});
    QCOMPARE(comm->setPortOpen(open), Failure {});

    FakeMessageBoxes boxes;
    frmRS232Settings dialog(*comm, boxes);
    dialog.show();
    QList<Qt::CursorShape> cursorsAtClose;
    connect(&comm->port(), &QIODevice::aboutToClose, &dialog,
        [&] { cursorsAtClose.append(dialog.cursor().shape()); });
    auto* list = child<QListWidget>(dialog, "comPortList");
    if (select < 0)
        list->clearSelection();
    else
        list->item(select)->setSelected(true);
    auto* settings = child<QLineEdit>(dialog, "txtSettings");
    settings->selectAll();
    QTest::keyClicks(settings, text);
    QTest::mouseClick(child<QCheckBox>(dialog, "chkCommSpy"), Qt::LeftButton);
    QTest::mouseClick(child<QCheckBox>(dialog, "chkCommSpyInput"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(dialog, "cmdApply"), Qt::LeftButton);

    QCOMPARE(boxes.shown.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(boxes.shown.first().contains(message), qPrintable(boxes.shown.first()));
    QCOMPARE(dialog.isVisible(), !message.isEmpty());
    QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
    QTEST(comm->portOpen(), "endOpen");
    QTEST(comm->commPort(), "endPort");
    QTEST(comm->settings(), "endSettings");
    QTEST(!cursorsAtClose.isEmpty(), "reopened");
    QVERIFY(!cursorsAtClose.contains(Qt::ArrowCursor));
    if (comm->portOpen()) {
        QCOMPARE(comm->port().portName(), comm->devicePath());
        QCOMPARE(comm->port().baudRate(), int(comm->settings().section(',', 0, 0).toInt()));
    }
    // The CommSpy switches are written only once the port has been dealt with.
    QCOMPARE(comm->commSpy(), message.isEmpty());
    QCOMPARE(comm->logSwitch(LogSwitch::Input), message.isEmpty());
    QVERIFY(!comm->logSwitch(LogSwitch::Events));
}

void TestFrmRS232Settings::applyAfterAFailureTakesTheClosedPortPath()
{
    std::unique_ptr<SaxComm> comm = makeComm(true);
    QCOMPARE(comm->setPortOpen(true), Failure {});
    FakeMessageBoxes boxes;
    frmRS232Settings dialog(*comm, boxes);
    dialog.show();
    auto* list = child<QListWidget>(dialog, "comPortList");
    list->item(1)->setSelected(true);
    QTest::mouseClick(child<QPushButton>(dialog, "cmdApply"), Qt::LeftButton);
    QCOMPARE(boxes.shown.size(), 1);
    QVERIFY(!comm->portOpen());

    list->item(0)->setSelected(true);
    QTest::mouseClick(child<QPushButton>(dialog, "cmdApply"), Qt::LeftButton);
    QCOMPARE(boxes.shown.size(), 1);
    QVERIFY(!dialog.isVisible());
    QVERIFY(comm->portOpen());
    QCOMPARE(comm->commPort(), QString("COM1"));
    QCOMPARE(comm->port().portName(), m_ptys[0].endA());
}

void TestFrmRS232Settings::cancelWritesNothing_data()
{
    QTest::addColumn<bool>("byCloseBox");
    QTest::newRow("Cancel") << false;
    QTest::newRow("close box") << true;
}

void TestFrmRS232Settings::cancelWritesNothing()
{
    QFETCH(bool, byCloseBox);
    std::unique_ptr<SaxComm> comm = makeComm();
    QCOMPARE(comm->setPortOpen(true), Failure {});
    QSignalSpy closes(&comm->port(), &QIODevice::aboutToClose);
    FakeMessageBoxes boxes;
    frmRS232Settings dialog(*comm, boxes);
    dialog.show();
    child<QListWidget>(dialog, "comPortList")->item(1)->setSelected(true);
    child<QLineEdit>(dialog, "txtSettings")->setText("19200,n,8,1");
    QTest::mouseClick(child<QCheckBox>(dialog, "chkCommSpy"), Qt::LeftButton);
    if (byCloseBox)
        dialog.close();
    else
        QTest::mouseClick(child<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(comm->commPort(), QString("COM1"));
    QCOMPARE(comm->settings(), QString("9600,n,8,1"));
    QCOMPARE(comm->port().baudRate(), 9600);
    QVERIFY(!comm->commSpy());
    QCOMPARE(closes.size(), 0);
}

void TestFrmRS232Settings::menuOpensANewModalDialogOverTheMainWindow()
{
    std::unique_ptr<SaxComm> comm = makeComm();
    FakeMessageBoxes boxes;
    frmMain window(*comm, boxes);
    attachRS232Settings(window, *comm, boxes);
    window.show();
    QAction* item = window.menuItem("RS232Menu");

    QPointer<QWidget> first;
    QString firstText;
    QTimer::singleShot(0, [&] {
        first = QApplication::activeModalWidget();
        QVERIFY(first);
        QCOMPARE(first->objectName(), QString("frmRS232Settings"));
        QCOMPARE(first->windowTitle(), QString("RS232 configuration"));
        QCOMPARE(first->parentWidget(), &window);
        child<QLineEdit>(*first, "txtSettings")->setText("2400,n,8,1");
        QTest::mouseClick(child<QPushButton>(*first, "cmdCancel"), Qt::LeftButton);
    });
    item->trigger();
    QVERIFY(first.isNull());

    QTimer::singleShot(0, [&] {
        QWidget* second = QApplication::activeModalWidget();
        QVERIFY(second);
        QCOMPARE(child<QLineEdit>(*second, "txtSettings")->text(), QString("9600,n,8,1"));
        QTest::mouseClick(child<QPushButton>(*second, "cmdCancel"), Qt::LeftButton);
    });
    item->trigger();
    QVERIFY(!QApplication::activeModalWidget());
}

void TestFrmRS232Settings::commSpyGroupIsReachedByEnlargingTheWindow()
{
    std::unique_ptr<SaxComm> comm = makeComm();
    FakeMessageBoxes boxes;
    frmRS232Settings dialog(*comm, boxes);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* frame2 = child<QGroupBox>(dialog, "Frame2");
    QVERIFY(!child<QPushButton>(dialog, "cmdApply")->visibleRegion().isEmpty());
    QVERIFY(frame2->visibleRegion().isEmpty());
    QVERIFY(dialog.minimumHeight() < dialog.maximumHeight());

    dialog.resize(dialog.width(), frame2->geometry().bottom() + 10);
    QTRY_VERIFY(!frame2->visibleRegion().isEmpty());
    for (const QString& name : kLogBoxes)
        QVERIFY(child<QCheckBox>(dialog, qPrintable(name))->visibleRegion().boundingRect().height()
            == child<QCheckBox>(dialog, qPrintable(name))->height());
}

QTEST_MAIN(TestFrmRS232Settings)
#include "test_frm_rs232_settings.moc"
