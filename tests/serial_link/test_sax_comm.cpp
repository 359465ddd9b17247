#include "fakes/fake_message_boxes.h"
#include "fakes/pty_pair.h"
#include "main_window/frm_main.h"
#include "serial_link/line_settings.h"
#include "serial_link/port_names.h"
#include "serial_link/sax_comm.h"

#include <QFile>
#include <QLineEdit>
#include <QSerialPort>
#include <QTest>

#include <unistd.h>

namespace {

QProcessEnvironment com1At(const QString& device)
{
    QProcessEnvironment environment;
    environment.insert("ZELVIC_COM1", device);
    return environment;
}

} // namespace

class TestSaxComm : public QObject
{
    Q_OBJECT

private slots:
    void devicePaths_data();
    void devicePaths();
    void lineSettings_data();
    void lineSettings();
    void openFailureMessages_data();
    void openFailureMessages();

    void opensAPseudoTerminalAndCarriesBytes();
    void settingsTakeEffectOnTheOpenPort();
    void invalidSettingsAreRefusedAndKeepTheOldOnes();
    void portNameOnlyChangesWhileClosed();
    void busyDeviceIsReported();

    void startUpOpensThePort();
    void startUpWithoutADeviceShowsOneMessage();
};

void TestSaxComm::devicePaths_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("override");
    QTest::addColumn<QString>("device");

    const auto row = [](const char* name, const char* override, const char* device) {
        QTest::newRow(name) << name << override << device;
    };
    row("COM1", "", "/dev/ttyS0");
    row("COM10", "", "/dev/ttyS9");
    row("COM2", "/dev/ttyUSB0", "/dev/ttyUSB0");
    row("com1", "", "com1");
    row("COM0", "", "COM0");
    row("/dev/ttyACM0", "", "/dev/ttyACM0");
}

void TestSaxComm::devicePaths()
{
    QFETCH(QString, name);
    QFETCH(QString, override);
    QFETCH(QString, device);
    QProcessEnvironment environment;
    if (!override.isEmpty())
        environment.insert("ZELVIC_" + name, override);
    environment.insert("ZELVIC_COM2X", "/wrong");
    QCOMPARE(devicePathForPortName(name, environment), device);
}

void TestSaxComm::lineSettings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");

    using P = LineSettings::Parity;
    const auto row = [](const char* text, int baud, P parity, int dataBits, int stopBits) {
        QTest::newRow(text) << text << (baud > 0) << baud << int(parity) << dataBits << stopBits;
    };
    row("9600,n,8,1", 9600, P::None, 8, 1);
    row("19200,E,7,2", 19200, P::Even, 7, 2);
    row("1200,o,8,1", 1200, P::Odd, 8, 1);
    row("1200,M,8,1", 1200, P::Mark, 8, 1);
    row("1200,s,8,1", 1200, P::Space, 8, 1);
    row("115200,n,8,1", 115200, P::None, 8, 1);
    row("9600,n,8,1.5", 9600, P::None, 8, 2);
    row("9600,n,8", 0, P::None, 0, 0);
    row("9600,x,8,1", 0, P::None, 0, 0);
    row("9600,n,4,1", 0, P::None, 0, 0);
    row("9600,n,8,3", 0, P::None, 0, 0);
    row("99999999999,n,8,1", 0, P::None, 0, 0);
}

void TestSaxComm::lineSettings()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const std::optional<LineSettings> line = parseLineSettings(text);
    QCOMPARE(line.has_value(), valid);
    if (!valid)
        return;
    QFETCH(int, baud);
    QFETCH(int, parity);
    QFETCH(int, dataBits);
    QFETCH(int, stopBits);
    QCOMPARE(*line,
        (LineSettings { baud, static_cast<LineSettings::Parity>(parity), dataBits, stopBits }));
}

void TestSaxComm::openFailureMessages_data()
{
    QTest::addColumn<int>("problem");
    QTest::addColumn<QString>("portName");
    QTest::addColumn<QString>("hint");

    const auto row = [](const char* tag, SerialOpenProblem problem, const char* hint) {
        QTest::newRow(tag) << int(problem) << "COM1" << hint;
    };
    row("missing", SerialOpenProblem::NotFound, "ZELVIC_COM1");
    row("permission", SerialOpenProblem::AccessDenied, "'dialout' group");
    row("busy", SerialOpenProblem::Busy, "another program holds it");
    row("other", SerialOpenProblem::Other, "the system's words");
}

void TestSaxComm::openFailureMessages()
{
    QFETCH(int, problem);
    QFETCH(QString, portName);
    QFETCH(QString, hint);
    const QString message = describeOpenFailure(
        static_cast<SerialOpenProblem>(problem), portName, "/dev/ttyUSB3", "the system's words");
    QVERIFY2(message.contains(hint), qPrintable(message));
    QVERIFY2(message.contains(portName + " (/dev/ttyUSB3)"), qPrintable(message));
}

void TestSaxComm::opensAPseudoTerminalAndCarriesBytes()
{
    PtyPair pty;
    QVERIFY(pty.isReady());
    SaxComm comm(com1At(pty.endA()));
    QCOMPARE(comm.setPortOpen(true), Failure {});
    QVERIFY(comm.portOpen());
    QCOMPARE(comm.devicePath(), pty.endA());

    QSerialPort peer(pty.endB());
    QVERIFY(peer.open(QIODevice::ReadWrite));
    comm.port().write("rz\r");
    QByteArray received;
    QTRY_COMPARE((received += peer.readAll()), QByteArray("rz\r"));

    QCOMPARE(comm.setPortOpen(false), Failure {});
    QVERIFY(!comm.portOpen());
    QCOMPARE(comm.setPortOpen(false), Failure {});
}

void TestSaxComm::settingsTakeEffectOnTheOpenPort()
{
    PtyPair pty;
    QVERIFY(pty.isReady());
    SaxComm comm(com1At(pty.endA()));
    QCOMPARE(comm.setSettings("19200,n,8,2"), Failure {});
    QCOMPARE(comm.setPortOpen(true), Failure {});
    QCOMPARE(comm.port().baudRate(), 19200);
    QCOMPARE(comm.port().stopBits(), QSerialPort::TwoStop);

    QCOMPARE(comm.setSettings("4800,n,8,1"), Failure {});
    QVERIFY(comm.portOpen());
    QCOMPARE(comm.port().baudRate(), 4800);
    QCOMPARE(comm.port().stopBits(), QSerialPort::OneStop);

    // A pseudo-terminal keeps its character format: parity and 7 data bits are refused.
    const Failure refused = comm.setSettings("1200,e,7,1");
    QVERIFY(refused);
    QVERIFY2(refused->contains("does not take the settings \"1200,e,7,1\""), qPrintable(*refused));
    QVERIFY(comm.portOpen());
    QCOMPARE(comm.settings(), QStringLiteral("4800,n,8,1"));
    QCOMPARE(comm.port().baudRate(), 4800);
}

void TestSaxComm::invalidSettingsAreRefusedAndKeepTheOldOnes()
{
    SaxComm comm(QProcessEnvironment {});
    const Failure failure = comm.setSettings("9600;n;8;1");
    QVERIFY(failure);
    QVERIFY(failure->contains("9600;n;8;1"));
    QCOMPARE(comm.settings(), QStringLiteral("9600,n,8,1"));
}

void TestSaxComm::portNameOnlyChangesWhileClosed()
{
    PtyPair pty;
    QVERIFY(pty.isReady());
    SaxComm comm(com1At(pty.endA()));
    QCOMPARE(comm.setPortOpen(true), Failure {});
    QVERIFY(comm.setCommPort("COM2"));
    QCOMPARE(comm.commPort(), QStringLiteral("COM1"));
    QCOMPARE(comm.setPortOpen(false), Failure {});
    QCOMPARE(comm.setCommPort("COM2"), Failure {});
    QCOMPARE(comm.commPort(), QStringLiteral("COM2"));
}

void TestSaxComm::busyDeviceIsReported()
{
    PtyPair pty;
    QVERIFY(pty.isReady());
    SaxComm first(com1At(pty.endA()));
    QCOMPARE(first.setPortOpen(true), Failure {});
    SaxComm second(com1At(pty.endA()));
    const Failure failure = second.setPortOpen(true);
    QVERIFY(failure);
    QVERIFY2(failure->contains("another program holds it"), qPrintable(*failure));
}

void TestSaxComm::startUpOpensThePort()
{
    PtyPair pty;
    QVERIFY(pty.isReady());
    SaxComm comm(com1At(pty.endA()));
    FakeMessageBoxes boxes;
    frmMain window(comm, boxes);
    window.Load();
    QCOMPARE(boxes.shown, QStringList {});
    QVERIFY(comm.portOpen());
    QCOMPARE(comm.commPort(), QStringLiteral("COM1"));
    QCOMPARE(comm.settings(), QStringLiteral("9600,n,8,1"));
    QCOMPARE(comm.port().baudRate(), 9600);
    QCOMPARE(comm.startupOption(), 3);
}

void TestSaxComm::startUpWithoutADeviceShowsOneMessage()
{
    SaxComm comm(com1At("/nonexistent/zelvic-port"));
    FakeMessageBoxes boxes;
    frmMain window(comm, boxes);
    window.Load();
    QCOMPARE(boxes.shown.size(), 1);
    QVERIFY(
        boxes.shown.first().contains("COM1 (/nonexistent/zelvic-port): there is no such device"));
    QVERIFY(!comm.portOpen());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.checkValue("chkDHCP"), 1);
    QCOMPARE(window.checkValue("chkFTP"), 1);
    QVERIFY(!window.findChild<QLineEdit*>("txtIpAddress")->isEnabled());
}

QTEST_MAIN(TestSaxComm)
#include "test_sax_comm.moc"
