#include "core/line_settings.h"
#include "fakes/fake_message_boxes.h"
#include "serial_link/port_names.h"
#include "serial_link/sax_comm.h"
#include "testkit/pty_pair.h"
#include "windows/frm_main.h"

#include <QSerialPort>
#include <QTest>

Q_DECLARE_METATYPE(LineSettings)

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

    void startUpSettingsAndNameOnAPseudoTerminal();
};

void TestSaxComm::devicePaths_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("device");

    QTest::newRow("COM10") << QString("COM10") << kSerialDevicePrefix.toString() + "9";
    QTest::newRow("COM1") << QString("COM1") << QString("/dev/ttyUSB0"); // named in the environment
    QTest::newRow("com1") << QString("com1") << QString("com1"); // a device name of its own
}

void TestSaxComm::devicePaths()
{
    QFETCH(QString, name);
    QTEST(devicePathForPortName(name, com1At("/dev/ttyUSB0")), "device");
}

void TestSaxComm::lineSettings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<LineSettings>("line"); // a baud rate of 0: refused

    using P = LineSettings::Parity;
    const auto row = [](const char* text, int baud, P parity, int dataBits, int stopBits) {
        QTest::newRow(text) << text << LineSettings { baud, parity, dataBits, stopBits };
    };
    // Any baud rate and 5 to 8 data bits: what the port takes is the port's business.
    row("115200,n,8,1", 115200, P::None, 8, 1);
    row("19200,E,5,2", 19200, P::Even, 5, 2);
    row("1200,o,8,1.5", 1200, P::Odd, 8, 2);
    row("1200,M,8,1", 1200, P::Mark, 8, 1);
    row("1200,s,8,1", 1200, P::Space, 8, 1);
    row("9600,n,8", 0, P::None, 0, 0);
    row("9600,x,8,1", 0, P::None, 0, 0);
    row("9600,n,4,1", 0, P::None, 0, 0);
    row("9600,n,8,3", 0, P::None, 0, 0);
    row("99999999999,n,8,1", 0, P::None, 0, 0);
}

void TestSaxComm::lineSettings()
{
    QFETCH(QString, text);
    QTEST(parseLineSettings(text).value_or(LineSettings { 0, {}, 0, 0 }), "line");
}

void TestSaxComm::startUpSettingsAndNameOnAPseudoTerminal()
{
    PtyPair pty;
    QVERIFY(pty.isReady());
    SaxComm comm(com1At(pty.endA()));
    FakeMessageBoxes boxes;
    frmMain window(comm, boxes);
    window.Load();
    QCOMPARE(boxes.shown, QStringList {});
    QVERIFY(comm.portOpen());
    QCOMPARE(comm.port().baudRate(), 9600);
    QCOMPARE(comm.startupOption(), 3);

    QSerialPort peer(pty.endB());
    QVERIFY(peer.open(QIODevice::ReadWrite));
    comm.port().write("rz\r");
    QByteArray received;
    QTRY_COMPARE((received += peer.readAll()), QByteArray("rz\r"));

    // Settings take effect on the open port; a string that is no settings is refused.
    QVERIFY(!comm.setSettings("9600;n;8;1").ok());
    QCOMPARE(comm.setSettings("19200,n,8,2"), Result<> {});
    QCOMPARE(comm.port().baudRate(), 19200);
    QCOMPARE(comm.port().stopBits(), QSerialPort::TwoStop);
    // A pseudo-terminal keeps its character format: parity and 7 data bits are refused, and
    // the port goes on with the line it had.
    QVERIFY(!comm.setSettings("1200,e,7,1").ok());
    QVERIFY(comm.portOpen());
    QCOMPARE(comm.settings(), QStringLiteral("19200,n,8,2"));
    QCOMPARE(comm.port().baudRate(), 19200);

    // The port name only changes while the port is closed.
    QVERIFY(!comm.setCommPort("COM2").ok());
    QCOMPARE(comm.commPort(), QStringLiteral("COM1"));
    QCOMPARE(comm.setPortOpen(false), Result<> {});
    QVERIFY(!comm.portOpen());
    QCOMPARE(comm.setCommPort("COM2"), Result<> {});
    QCOMPARE(comm.commPort(), QStringLiteral("COM2"));
}

QTEST_MAIN(TestSaxComm)
#include "test_sax_comm.moc"
