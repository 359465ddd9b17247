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

private:
    PtyPair m_ptys[2]; // A and B
};

// Adapters named where none can be: whatever goes wrong, no row opens one of the machine's own.
const SerialPortEntry kAdapters[]
    = { { "/nowhere/ttyUSB0", "FT232R USB UART (FTDI, A50285BI)" }, { "/nowhere/ttyUSB1", "" } };

void TestFrmRS232Settings::loadAndApply_data()
{
    // The port as "open COM1 9600,n,8,1" before, and after with its device and the device kept
    // for it. A and B stand for the two pseudo-terminals: COM1 is chosen on A, and COM2 is B
    // when the variable says so, else the second of two adapters. A device chosen in this run
    // is kept once Apply has opened its port.
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("spyOn"); // CommSpy on, logging input
    QTest::addColumn<bool>("variable"); // ZELVIC_COM2=B
    QTest::addColumn<int>("select"); // the list entry selected, -1 as loaded
    QTest::addColumn<QString>("shown"); // the Device row: the device, greyed or not, and why
    QTest::addColumn<QString>("device"); // typed into the Device row: "B" or a path
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: the dialog closes without one
    QTest::addColumn<QString>("end");
    const auto add = [](const char* tag, const char* start, bool spyOn, bool variable, int select,
                         const char* shown, const char* device, const char* text,
                         const char* message, const char* end) {
        QTest::newRow(tag) << QString(start) << spyOn << variable << select << QString(shown)
                           << QString(device) << QString(text) << QString(message) << QString(end);
    };
    add("open, same port: new settings, a device typed: reopened on B", "open COM1 9600,n,8,1",
        false, false, -1, "A editable ", "B", "19200,n,8,2", "", "open COM1 19200,n,8,2 B B");
    add("open, COM1 to COM2", "open COM1 9600,n,8,1", true, true, 1, "B greyed set by ZELVIC_COM2",
        "", "4800,n,8,1", "", "open COM2 4800,n,8,1 B -");
    // Names are case-sensitive: com1 is none of the entries, and it is the one opened.
    add("closed, nothing selected: the name it had", "closed com1 9600,n,8,1", false, false, -1,
        "com1 greyed the port name is a device", "", "38400,n,8,1",
        "Cannot open serial port com1: there is no such device. Connect the cable or adapter.",
        "closed com1 38400,n,8,1 com1 -");
    add("invalid string", "open COM1 9600,n,8,1", true, false, 1, "/nowhere/ttyUSB1 editable ", "",
        "115200,n,8,1", "Illegal SETTINGS string", "open COM1 9600,n,8,1 A -");
    add("closed, COM2 selected, a missing device typed", "closed COM1 9600,n,8,1", false, false, 1,
        "/nowhere/ttyUSB1 editable ", "/nowhere/ttyUSB7", "9600,n,8,1",
        "Cannot open serial port COM2 (/nowhere/ttyUSB7): there is no such device. Connect the "
        "cable or adapter, or choose another device under Settings, RS232 Port Setup.",
        "closed COM2 9600,n,8,1 /nowhere/ttyUSB7 -");
}

void TestFrmRS232Settings::loadAndApply()
{
    QFETCH(QString, start);
    QFETCH(bool, spyOn);
    QFETCH(bool, variable);
    QFETCH(int, select);
    QFETCH(QString, device);
    QFETCH(QString, text);
    QFETCH(QString, message);
    const QString ends[] = { m_ptys[0].endA(), m_ptys[1].endA() };
    const auto name
        = [&](QString path) { return path.replace(ends[0], "A").replace(ends[1], "B"); };
    FakeSerialPortList ports;
    ports.entries = { kAdapters[0], kAdapters[1] };
    FakeDeviceChoices choices;
    QProcessEnvironment environment;
    if (variable)
        environment.insert("ZELVIC_COM2", ends[1]);
    SaxComm comm({ environment, &ports, &choices });
    const QStringList words = start.split(' ');
    QVERIFY(comm.chooseDevice("COM1", ends[0]).ok() && comm.setCommPort(words[1]).ok()
        && comm.setSettings(words[2]).ok() && comm.setPortOpen(words[0] == "open").ok());
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
    // The Device row shows the device of the port Apply opens, and lists the adapters present.
    auto* cboDevice = dialog.findChild<QComboBox*>("cboDevice");
    QTEST(QString("%1 %2 %3")
              .arg(name(cboDevice->currentText()), cboDevice->isEnabled() ? "editable" : "greyed",
                  dialog.findChild<QLabel*>("lblDeviceOrigin")->text()),
        "shown");
    QCOMPARE(cboDevice->count(), 2);
    QCOMPARE(cboDevice->itemText(0), "/nowhere/ttyUSB0 - FT232R USB UART (FTDI, A50285BI)");
    QCOMPARE(QAccessible::queryAccessibleInterface(cboDevice->lineEdit())->text(QAccessible::Name),
        "Device");
    if (!device.isEmpty()) {
        // The list follows adapters plugged in and out and leaves a typed text alone; picked
        // from the list, a port is its path.
        cboDevice->lineEdit()->selectAll();
        QTest::keyClicks(cboDevice, "/dev/tty");
        ports.entries.clear();
        QTRY_COMPARE(cboDevice->count(), 0);
        ports.entries = { kAdapters[0], kAdapters[1] };
        QTRY_COMPARE(cboDevice->count(), 2);
        QCOMPARE(cboDevice->currentText(), "/dev/tty");
        QTest::keyClick(cboDevice, Qt::Key_Down);
        QCOMPARE(cboDevice->currentText(), "/nowhere/ttyUSB0");
        cboDevice->lineEdit()->selectAll();
        QTest::keyClicks(cboDevice, device == "B" ? ends[1] : device);
    }
    settings->selectAll();
    QTest::keyClicks(settings, text);
    dialog.findChild<QCheckBox*>("chkCommSpyInput")->click();
    // Enter in the settings box applies nothing; Enter on the focused Apply does.
    QTest::keyClick(settings, Qt::Key_Return);
    QCOMPARE(comm.settings(), words[2]);
    auto* apply = dialog.findChild<QPushButton*>("cmdApply");
    apply->setFocus();
    QTest::keyClick(apply, Qt::Key_Return);

    QCOMPARE(boxes.shown.join('|'), message);
    QCOMPARE(dialog.isVisible(), !message.isEmpty());
    QTEST(QString("%1 %2 %3 %4 %5")
              .arg(comm.portOpen() ? "open" : "closed", comm.commPort(), comm.settings(),
                  name(comm.devicePath()), name(choices.kept.value(comm.commPort(), "-"))),
        "end");
    // The busy pointer of the port's handling is gone whatever the outcome.
    QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
    // The CommSpy switches are written only once the port has been dealt with; switched off,
    // every log switch goes off.
    const bool written = message.isEmpty();
    QCOMPARE(comm.commSpy(), spyOn != written);
    QCOMPARE(comm.logSwitch(LogSwitch::Input), !(written && spyOn));
}

QTEST_MAIN(TestFrmRS232Settings)
#include "test_frm_rs232_settings.moc"
