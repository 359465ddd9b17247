#include "fakes/fake_message_boxes.h"
#include "serial_link/comm_spy_log.h"
#include "serial_link/port_names.h"
#include "serial_link/sax_comm.h"
#include "testkit/lrzsz_receiver.h"
#include "testkit/pty_pair.h"
#include "windows/frm_main.h"
#include "windows/frm_sax_comm.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The serial control: its port names and settings, its transfer command, its status window and
// its CommSpy log, whose lines and size limit are also checked on their own.

namespace {

const QByteArray kCancel = QByteArray(8, '\x18') + QByteArray(10, '\b');
const QByteArray kSettings = "[System]\r\nDHCP=0\r\nIP0=C0A8\r\nIP1=64C8\r\n";

QProcessEnvironment com1At(const QString& device)
{
    QProcessEnvironment environment;
    environment.insert("ZELVIC_COM1", device);
    return environment;
}

/// The far end of a pseudo-terminal pair, read by the test.
struct Peer
{
    Peer() { port.open(QIODevice::ReadWrite); }
    /// Everything that has arrived so far.
    QByteArray received() { return arrived += port.readAll(); }
    /// Everything the terminal wrote until now and in the events already queued: a marker
    /// written on the terminal's port after them has come through.
    QByteArray receivedSoFar(QSerialPort& terminal)
    {
        QTimer::singleShot(0, [&terminal] { terminal.write("\x7f"); });
        if (!QTest::qWaitFor([&] { return received().endsWith('\x7f'); }))
            return "no marker";
        arrived.chop(1);
        return arrived;
    }

    PtyPair pty;
    QSerialPort port { pty.endB() };
    QByteArray arrived;
};

QStringList linesOf(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestSaxComm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void devicePaths_data();
    void devicePaths();
    void completedTransfer();
    void runningTransfer();
    void commSpyLog();

private:
    QTemporaryDir m_files; // the file sent and the CommSpy log
};

void TestSaxComm::initTestCase()
{
    // The CommSpy log goes to the user's state folder: here, a folder of the test's own.
    qputenv("XDG_DATA_HOME", m_files.path().toUtf8());
    QFile file(m_files.filePath("server.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(kSettings) == kSettings.size());
}

void TestSaxComm::devicePaths_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("variable"); // ZELVIC_COM1
    QTest::addColumn<QString>("chosen"); // in this run
    QTest::addColumn<QString>("kept"); // from an earlier run; "+" in front: it exists
    QTest::addColumn<QStringList>("detected");
    QTest::addColumn<QString>("expected"); // the device and where it comes from
    // "@" stands for the machine's own ports' prefix: names only, nothing here opens a device.
    const QStringList twoAdapters { "@0", "/dev/ttyUSB10", "@1", "/dev/ttyUSB2" };
    const auto add = [](const char* tag, const char* name, const char* variable, const char* chosen,
                         const char* kept, QStringList detected, const char* device) {
        QTest::newRow(tag) << QString(name) << QString(variable) << QString(chosen) << QString(kept)
                           << detected << QString(device);
    };
    add("COM10: the machine's port", "COM10", "", "", "", twoAdapters, "@9 Machine");
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
    add("one adapter: COM2 the machine's", "COM2", "", "", "", { "/dev/ttyUSB0" }, "@1 Machine");
    add("no adapter", "COM1", "", "", "", { "@0", "/dev/ttyAMA0" }, "@0 Machine");
}

void TestSaxComm::devicePaths()
{
    QFETCH(QString, name);
    QFETCH(QString, variable);
    QFETCH(QString, chosen);
    QFETCH(QString, kept);
    QFETCH(QStringList, detected);
    QFETCH(QString, expected);
    const QString prefix = kSerialDevicePrefix.toString();
    detected.replaceInStrings("@", prefix);
    const bool keptExists = kept.startsWith('+');
    const PortDevice device
        = deviceForPortName(name, variable.isEmpty() ? QProcessEnvironment() : com1At(variable),
            { chosen, kept.remove('+'), detected },
            [&](const QString& path) { return keptExists && path == kept; });
    const char* origins[] = { "Environment", "Choice", "Adapter", "Machine", "Named" };
    QCOMPARE(device.path + ' ' + origins[int(device.origin)], expected.replace('@', prefix));
}

void TestSaxComm::completedTransfer()
{
    // Every log switch but one on.
    const QStringList kinds { "event", "input", "output", "warning" };
    LrzszReceiver peer({ "rz", "-b", "-y" });
    QVERIFY(peer.isReady());
    SaxComm comm(com1At(peer.devicePath()));
    QFile::remove(comm.commSpyLogPath());
    comm.setCommSpy(true);
    for (int i = 0; i < 5; ++i)
        comm.setLogSwitch(LogSwitch(i), kinds.contains(CommSpyLog::kindName(LogSwitch(i))));
    QCOMPARE(comm.setPortOpen(true), Result<> {});
    comm.setStartupOption(3);
    comm.setFileToSend(m_files.filePath("missing.ini"));
    QVERIFY(!comm.setTransfer(1).ok());
    // Named as the upload names it, with a '\' before the name.
    comm.setFileToSend(m_files.path() + "\\server.ini");
    QSignalSpy finished(&comm, &SaxComm::transferFinished);

    frmSaxComm statusWindow(comm.transfer());
    QCOMPARE(comm.setTransfer(1), Result<> {});
    QVERIFY(statusWindow.isVisible());
    QVERIFY(!finished.isEmpty() || finished.wait(20000));
    const QString outcome = finished.first().at(1).toString();
    QVERIFY2(outcome.startsWith("Completed: 38 bytes in "), qPrintable(outcome));
    QCOMPARE(statusWindow.text("outcome"), outcome);
    QVERIFY(peer.waitForExit(5000));
    QCOMPARE(peer.received("server.ini"), kSettings);

    // What each switch puts in the log; hex dumps as in the hex and ASCII columns.
    const QMap<QString, QString> samples { { "event", "Transfer Completed: 38 bytes" },
        { "input", "2a 2a 18 42 30 31 30 30 30 30 30 30 32 33 62 65  **.B0100000023be" },
        { "output", "5b 53 79 73 74 65 6d 5d 0d 0a 44 48 43 50 3d 30  [System]..DHCP=0" },
        { "warning", "does not exist" } };
    QFile log(comm.commSpyLogPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QMap<QString, QString> logged;
    for (const QString& line : QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts))
        logged[line.mid(24, 9).trimmed()] += line.mid(33) + '\n';
    QCOMPARE(logged.keys(), kinds);
    for (const QString& kind : logged.keys())
        QVERIFY2(logged[kind].contains(samples[kind]), qPrintable(logged[kind]));
}

void TestSaxComm::runningTransfer()
{
    Peer peer;
    SaxComm comm(com1At(peer.pty.endA()));
    QFile::remove(comm.commSpyLogPath());
    for (int i = 0; i < 5; ++i)
        comm.setLogSwitch(LogSwitch(i), true);
    // Start-up opens COM1 at 9600 baud with ZMODEM selected.
    FakeMessageBoxes boxes;
    frmMain main(comm, boxes);
    main.Load();
    QCOMPARE(boxes.shown, QStringList {});
    QVERIFY(comm.portOpen() && comm.port().baudRate() == 9600 && comm.startupOption() == 3);
    // Commands refused at once, with nothing put on the line.
    const struct
    {
        const char* file; // in the test's folder; empty: none named
        int option;
        const char* description;
    } refusals[] = { { ".", 3, "is a folder" }, { "", 3, "No file to send" },
        { "server.ini", 7, "selects no transfer" } };
    for (const auto& refusal : refusals) {
        comm.setStartupOption(refusal.option);
        comm.setFileToSend(*refusal.file ? m_files.filePath(refusal.file) : QString());
        const Result<> started = comm.setTransfer(1);
        QVERIFY2(!started.ok() && started.error().contains(refusal.description),
            qPrintable(started.ok() ? "none" : started.error()));
    }
    QCOMPARE(peer.receivedSoFar(comm.port()), QByteArray());
    comm.setStartupOption(3);
    // The status window leaves the keyboard with the window the user works in.
    main.show();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QWidget* const focus = QApplication::focusWidget();
    QVERIFY(focus);
    comm.setFileToSend(m_files.filePath("server.ini"));
    QSignalSpy finished(&comm, &SaxComm::transferFinished);
    frmSaxComm statusWindow(comm.transfer());
    QCOMPARE(comm.setTransfer(1), Result<> {});
    QVERIFY(QTest::qWaitForWindowExposed(&statusWindow));

    // A second command is turned down in the window and leaves the transfer alone.
    comm.setFileToSend(m_files.filePath("other.ini"));
    QCOMPARE(comm.setTransfer(1), Result<> {});
    QVERIFY2(statusWindow.text("notice").contains("turned down"),
        qPrintable(statusWindow.text("notice")));
    QCOMPARE(peer.receivedSoFar(comm.port()).count("rz\r"), 1);
    QCOMPARE(QApplication::focusWidget(), focus);

    auto* cancel = statusWindow.findChild<QPushButton*>("cmdCancel");
    cancel->click();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().at(1).toString(), QStringLiteral("Failed: cancelled by user"));
    QTRY_VERIFY(peer.received().endsWith(kCancel));
    QVERIFY(comm.portOpen());
    // Close now closes the window.
    cancel->click();
    QVERIFY(!statusWindow.isVisible());
    // Every log switch on but CommSpy off: nothing is logged.
    QVERIFY(!QFile::exists(comm.commSpyLogPath()));

    // Settings take effect on the open port; a string that is no settings is refused. A
    // pseudo-terminal keeps its character format: parity and 7 data bits are refused, and the
    // port goes on with the line it had.
    QVERIFY(!comm.setSettings("9600;n;8;1").ok());
    QCOMPARE(comm.setSettings("19200,n,8,2"), Result<> {});
    QCOMPARE(comm.port().stopBits(), QSerialPort::TwoStop);
    QVERIFY(!comm.setSettings("1200,e,7,1").ok());
    QVERIFY(comm.portOpen());
    QCOMPARE(comm.settings(), QStringLiteral("19200,n,8,2"));
    QCOMPARE(comm.port().baudRate(), 19200);
    // The port name only changes while the port is closed.
    QVERIFY(!comm.setCommPort("COM2").ok());
    QCOMPARE(comm.commPort(), QStringLiteral("COM1"));
    QCOMPARE(comm.setPortOpen(false), Result<> {});
    QCOMPARE(comm.setCommPort("COM2"), Result<> {});
    QCOMPARE(comm.commPort(), QStringLiteral("COM2"));
}

void TestSaxComm::commSpyLog()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("commspy.log");
    constexpr qint64 kLimit = 2000;
    CommSpyLog log(path, kLimit);
    log.record(LogSwitch::Events, "Port COM1 (/dev/ttyUSB0) opened at 9600,n,8,1");
    log.recordBytes(LogSwitch::Output, QByteArray("rz\r**\030B010000002\0\177\200\377 ~", 22));
    log.recordBytes(LogSwitch::Input, QByteArray("\x06"));
    log.record(LogSwitch::Properties, "settings = 9600,n,8,1");
    log.record(LogSwitch::Warnings, "Transfer Failed: no answer");

    // Each line begins with the time to the millisecond; the columns of a short line are kept.
    const QRegularExpression stamp("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ");
    QStringList records;
    for (const QString& line : linesOf(path)) {
        QVERIFY2(stamp.match(line).hasMatch(), qPrintable(line));
        records << line.mid(24);
    }
    QCOMPARE(records,
        (QStringList { "event    Port COM1 (/dev/ttyUSB0) opened at 9600,n,8,1",
            "output   72 7a 0d 2a 2a 18 42 30 31 30 30 30 30 30 30 32  rz.**.B010000002",
            "output   00 7f 80 ff 20 7e" + QString(32, ' ') + ".... ~",
            "input    06" + QString(47, ' ') + ".", "property settings = 9600,n,8,1",
            "warning  Transfer Failed: no answer" }));

    // Past its limit, the log starts again and the records before go to the previous file.
    for (int i = 0; i < 200; ++i) {
        log.record(LogSwitch::Events, QString("record %1").arg(i));
        QVERIFY(QFileInfo(path).size() <= kLimit);
    }
    // A record larger than the whole limit keeps what fits.
    log.recordBytes(LogSwitch::Output, QByteArray(500, 'x'));
    QVERIFY(QFileInfo(path).size() <= kLimit);
    QVERIFY(QFileInfo(path).size() > kLimit / 2);

    // The records before went to the previous file, which replaces any older one.
    QVERIFY(linesOf(path + ".1").join('\n').endsWith("record 199"));
    QVERIFY(!QFile::exists(path + ".2"));
    // Both hold what went over the line, the FTP password among it: their owner's alone.
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const auto others = QFileDevice::ReadGroup | QFileDevice::ReadOther;
    for (const QString& file : { path, path + ".1" })
        QCOMPARE(QFile::permissions(file) & (ownerOnly | others), ownerOnly);
}

QTEST_MAIN(TestSaxComm)
#include "test_sax_comm.moc"
