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
    QTest::addColumn<QString>("variable"); // ZELVIC_COM1
    QTest::addColumn<QString>("chosen"); // in this run
    QTest::addColumn<QString>("kept"); // from an earlier run; "+" in front: it exists
    QTest::addColumn<QStringList>("detected");
    QTest::addColumn<QString>("device"); // and where it comes from
    const QStringList twoAdapters { "/dev/ttyS0", "/dev/ttyUSB10", "/dev/ttyS1", "/dev/ttyUSB2" };
    const auto add = [](const char* tag, const char* name, const char* variable, const char* chosen,
                         const char* kept, QStringList detected, const char* device) {
        QTest::newRow(tag) << QString(name) << QString(variable) << QString(chosen) << QString(kept)
                           << detected << QString(device);
    };
    add("COM10: the machine's port", "COM10", "", "", "", twoAdapters, "/dev/ttyS9 Machine");
    add("a device name of its own", "com1", "/dev/pts/7", "", "", {}, "com1 Named");
    add("the variable first", "COM1", "/dev/pts/7", "/dev/ttyUSB2", "+/dev/ttyUSB2", twoAdapters,
        "/dev/pts/7 Environment");
    add("chosen, even when missing", "COM1", "", "/dev/ttyUSB9", "+/dev/ttyUSB2", twoAdapters,
        "/dev/ttyUSB9 Choice");
    add("kept and present", "COM2", "", "", "+/dev/pts/3", twoAdapters, "/dev/pts/3 Choice");
    add("kept but gone: the first adapter", "COM1", "", "", "/dev/ttyUSB7", twoAdapters,
        "/dev/ttyUSB2 Adapter");
    add("the second adapter, in name order", "COM2", "", "", "", twoAdapters,
        "/dev/ttyUSB10 Adapter");
    add("modem adapters count, before ttyUSB", "COM1", "", "", "",
        { "/dev/ttyUSB0", "/dev/ttyACM1" }, "/dev/ttyACM1 Adapter");
    add("one adapter: COM2 the machine's", "COM2", "", "", "", { "/dev/ttyUSB0" },
        "/dev/ttyS1 Machine");
    add("no adapter", "COM1", "", "", "", { "/dev/ttyS0", "/dev/ttyAMA0" }, "/dev/ttyS0 Machine");
}

void TestSaxComm::devicePaths()
{
    QFETCH(QString, name);
    QFETCH(QString, variable);
    QFETCH(QString, chosen);
    QFETCH(QString, kept);
    QFETCH(QStringList, detected);
    const bool keptExists = kept.startsWith('+');
    const PortDevice device
        = deviceForPortName(name, variable.isEmpty() ? QProcessEnvironment() : com1At(variable),
            { chosen, kept.remove('+'), detected },
            [&](const QString& path) { return keptExists && path == kept; });
    const char* origins[] = { "Environment", "Choice", "Adapter", "Machine", "Named" };
    QTEST(device.path + ' ' + origins[int(device.origin)], "device");
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
