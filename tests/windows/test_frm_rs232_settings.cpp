#include "fakes/fake_device_choices.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_serial_port_list.h"
#include "serial_link/sax_comm.h"
#include "testkit/pty_pair.h"
#include "windows/frm_rs232_settings.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

class TestFrmRS232Settings : public QObject
{
    Q_OBJECT

private slots:
    void loadAndApply_data();
    void loadAndApply();
    void deviceRow_data();
    void deviceRow();

private:
    PtyPair m_ptys[2]; // COM1 and COM2
};

void TestFrmRS232Settings::loadAndApply_data()
{
    // The port as "open COM1 9600,n,8,1" before and after.
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("spyOn"); // CommSpy on, logging input
    QTest::addColumn<int>("select"); // the list entry selected, -1 as loaded
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: the dialog closes without one
    QTest::addColumn<QString>("end");
    const auto add = [](const char* tag, const char* start, bool spyOn, int select,
                         const char* text, const char* message, const char* end) {
        QTest::newRow(tag) << QString(start) << spyOn << select << QString(text) << QString(message)
                           << QString(end);
    };
    add("open, same port: the settings only", "open COM1 9600,n,8,1", false, -1, "19200,n,8,2", "",
        "open COM1 19200,n,8,2");
    add("open, COM1 to COM2", "open COM1 9600,n,8,1", true, 1, "4800,n,8,1", "",
        "open COM2 4800,n,8,1");
    add("closed, COM2 selected", "closed COM1 9600,n,8,1", false, 1, "9600,n,8,1", "",
        "open COM2 9600,n,8,1");
    // Names are case-sensitive: com1 is none of the entries, and it is the one opened.
    add("closed, nothing selected: the name it had", "closed com1 9600,n,8,1", false, -1,
        "38400,n,8,1", "Cannot open serial port com1", "closed com1 38400,n,8,1");
    add("invalid string", "open COM1 9600,n,8,1", true, 1, "115200,n,8,1",
        "Illegal SETTINGS string", "open COM1 9600,n,8,1");
}

void TestFrmRS232Settings::loadAndApply()
{
    QFETCH(QString, start);
    QFETCH(bool, spyOn);
    QFETCH(int, select);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QProcessEnvironment environment;
    environment.insert("ZELVIC_COM1", m_ptys[0].endA());
    environment.insert("ZELVIC_COM2", m_ptys[1].endA());
    SaxComm comm(environment);
    const QStringList words = start.split(' ');
    QVERIFY(comm.setCommPort(words[1]).ok() && comm.setSettings(words[2]).ok()
        && comm.setPortOpen(words[0] == "open").ok());
    comm.setCommSpy(spyOn);
    comm.setLogSwitch(LogSwitch::Input, true);
    FakeMessageBoxes boxes;
    frmRS232Settings dialog(comm, boxes);
    dialog.show();

    // Loaded: the settings, the CommSpy boxes, and the entry of exactly the port's name
    // selected, which Apply keeps unless another is selected.
    auto* settings = dialog.findChild<QLineEdit*>("txtSettings");
    QCOMPARE(settings->text(), words[2]);
    // The log boxes: input ticked, and every box enabled, only while CommSpy is on.
    for (QCheckBox* box : dialog.findChildren<QCheckBox*>(QRegularExpression("^chkCommSpy."))) {
        QCOMPARE(box->isChecked(), spyOn && box->objectName() == "chkCommSpyInput");
        QCOMPARE(box->isEnabled(), spyOn);
    }
    dialog.findChild<QCheckBox*>("chkCommSpy")->click();

    if (select >= 0)
        dialog.findChild<QListWidget*>("comPortList")->setCurrentRow(select);
    settings->selectAll();
    QTest::keyClicks(settings, text);
    dialog.findChild<QCheckBox*>("chkCommSpyInput")->click();
    // Enter in the settings box applies nothing; Enter on the focused Apply does.
    QTest::keyClick(settings, Qt::Key_Return);
    QCOMPARE(comm.settings(), words[2]);
    auto* apply = dialog.findChild<QPushButton*>("cmdApply");
    apply->setFocus();
    QTest::keyClick(apply, Qt::Key_Return);

    QVERIFY2(boxes.shown.size() == (message.isEmpty() ? 0 : 1)
            && boxes.shown.join('|').contains(message),
        qPrintable(boxes.shown.join('|')));
    QCOMPARE(dialog.isVisible(), !message.isEmpty());
    QTEST(QString("%1 %2 %3")
              .arg(comm.portOpen() ? "open" : "closed", comm.commPort(), comm.settings()),
        "end");
    // The busy pointer of the port's handling is gone whatever the outcome.
    QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
    // The CommSpy switches are written only once the port has been dealt with; switched off,
    // every log switch goes off.
    const bool written = message.isEmpty();
    QCOMPARE(comm.commSpy(), spyOn != written);
    QCOMPARE(comm.logSwitch(LogSwitch::Input), !(written && spyOn));
}

const SerialPortEntry kAdapters[]
    = { { "/dev/ttyUSB0", "FT232R USB UART (FTDI, A50285BI)" }, { "/dev/ttyUSB1", "" } };

void TestFrmRS232Settings::deviceRow_data()
{
    // A and B stand for the two pseudo-terminals. Open, the port starts as COM1 chosen on A.
    QTest::addColumn<int>("adapters");
    QTest::addColumn<bool>("variable"); // ZELVIC_COM1=A
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("select");
    QTest::addColumn<QString>("typed"); // "B" or a path
    QTest::addColumn<QString>("shown"); // the device, greyed or not, and why
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("end"); // the port, its device, the device kept for the port
    QTest::newRow("one adapter, open: reopened on B")
        << 1 << false << true << 0 << "B"
        << "A editable " << QString() << "open COM1 B B";
    QTest::newRow("two adapters, COM2 selected: missing device")
        << 2 << false << false << 1 << "/nowhere/ttyUSB7"
        << "/dev/ttyUSB1 editable "
        << "Cannot open serial port COM2 (/nowhere/ttyUSB7): there is no such device. Connect the "
           "cable or adapter, or choose another device under Settings, RS232 Port Setup."
        << "closed COM2 /nowhere/ttyUSB7 -";
    QTest::newRow("the variable") << 1 << true << false << 0 << ""
                                  << "A greyed set by ZELVIC_COM1" << QString() << "open COM1 A -";
}

void TestFrmRS232Settings::deviceRow()
{
    QFETCH(int, adapters);
    QFETCH(bool, variable);
    QFETCH(bool, open);
    QFETCH(int, select);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    const QString ends[] = { m_ptys[0].endA(), m_ptys[1].endA() };
    const auto name
        = [&](QString path) { return path.replace(ends[0], "A").replace(ends[1], "B"); };
    FakeSerialPortList ports;
    ports.entries = { kAdapters, kAdapters + adapters };
    FakeDeviceChoices choices;
    QProcessEnvironment environment;
    if (variable)
        environment.insert("ZELVIC_COM1", ends[0]);
    SaxComm comm({ environment, &ports, &choices });
    if (open)
        QVERIFY(comm.chooseDevice("COM1", ends[0]).ok() && comm.setPortOpen(true).ok());
    FakeMessageBoxes boxes;
    frmRS232Settings dialog(comm, boxes);
    dialog.findChild<QListWidget*>("comPortList")->setCurrentRow(select);
    dialog.show();
    auto* device = dialog.findChild<QComboBox*>("cboDevice");
    QTEST(QString("%1 %2 %3")
              .arg(name(device->currentText()), device->isEnabled() ? "editable" : "greyed",
                  dialog.findChild<QLabel*>("lblDeviceOrigin")->text()),
        "shown");
    QCOMPARE(device->count(), adapters);
    QCOMPARE(device->itemText(0), "/dev/ttyUSB0 - FT232R USB UART (FTDI, A50285BI)");
    QCOMPARE(QAccessible::queryAccessibleInterface(device->lineEdit())->text(QAccessible::Name),
        "Device");
    if (device->isEnabled()) {
        // The list follows adapters plugged in and out and leaves a typed text alone; picked
        // from the list, a port is its path.
        device->lineEdit()->selectAll();
        QTest::keyClicks(device, "/dev/tty");
        ports.entries.clear();
        QTRY_COMPARE(device->count(), 0);
        QCOMPARE(device->currentText(), "/dev/tty");
        ports.entries = { kAdapters, kAdapters + adapters };
        QTRY_COMPARE(device->count(), adapters);
        QCOMPARE(device->currentText(), "/dev/tty");
        QTest::keyClick(device, Qt::Key_Down);
        QCOMPARE(device->currentText(), "/dev/ttyUSB0");
        device->lineEdit()->selectAll();
        QTest::keyClicks(device, typed == "B" ? ends[1] : typed);
    }
    QTest::mouseClick(dialog.findChild<QPushButton*>("cmdApply"), Qt::LeftButton);

    QCOMPARE(boxes.shown.join('|'), message);
    QCOMPARE(dialog.isVisible(), !message.isEmpty());
    QTEST(QString("%1 %2 %3 %4")
              .arg(comm.portOpen() ? "open" : "closed", comm.commPort(), name(comm.devicePath()),
                  name(choices.kept.value(comm.commPort(), "-"))),
        "end");
}

QTEST_MAIN(TestFrmRS232Settings)
#include "test_frm_rs232_settings.moc"
