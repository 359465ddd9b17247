#include "fakes/fake_message_boxes.h"
#include "serial_link/comm_spy_log.h"
#include "serial_link/port_names.h"
#include "serial_link/sax_comm.h"
#include "testkit/file_contents.h"
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

#include <tuple>

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

} // namespace

class TestSaxComm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void devicePaths_data();
    void devicePaths();
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
    add("kept but gone: the second adapter, in name order", "COM2", "", "", "/dev/ttyUSB7",
        twoAdapters, "/dev/ttyUSB10 Adapter");
    add("modem adapters count, before ttyUSB", "COM1", "", "", "",
        { "/dev/ttyUSB0", "/dev/ttyACM1" }, "/dev/ttyACM1 Adapter");
    add("one adapter among other ports: COM2 the machine's", "COM2", "", "", "",
        { "@0", "/dev/ttyAMA0", "/dev/ttyUSB0" }, "@1 Machine");
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

void TestSaxComm::runningTransfer()
{
    Peer peer;
    SaxComm comm(com1At(peer.pty.endA()));
    QFile::remove(comm.commSpyLogPath());
    // Every log switch on but the properties'.
    for (int i = 0; i < 5; ++i)
        comm.setLogSwitch(LogSwitch(i), LogSwitch(i) != LogSwitch::Properties);
    // Start-up opens COM1 at 9600 baud with ZMODEM selected.
    FakeMessageBoxes boxes;
    frmMain main(comm, boxes);
    main.Load();
    QCOMPARE(boxes.shown, QStringList {});
    QVERIFY(comm.portOpen() && comm.port().baudRate() == 9600 && comm.startupOption() == 3);
    // CommSpy off: the port opened unlogged.
    QVERIFY(!QFile::exists(comm.commSpyLogPath()));
    comm.setCommSpy(true);
    // Commands refused at once, with nothing put on the line: the transfer below is the first.
    // Each names a file in the test's folder (empty: none), a start-up option and the reason.
    const std::tuple<const char*, int, const char*> refusals[]
        = { { ".", 3, "is a folder" }, { "missing.ini", 3, "does not exist" },
              { "", 3, "No file to send" }, { "server.ini", 7, "selects no transfer" } };
    for (const auto& [file, option, reason] : refusals) {
        comm.setStartupOption(option);
        comm.setFileToSend(*file ? m_files.filePath(file) : QString());
        const Result<> started = comm.setTransfer(1);
        QVERIFY2(!started.ok() && started.error().contains(reason),
            qPrintable(started.ok() ? "none" : started.error()));
    }
    comm.setStartupOption(3);
    // The status window leaves the keyboard with the window the user works in.
    main.show();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QWidget* const focus = QApplication::focusWidget();
    QVERIFY(focus);
    // Named as the upload names it, with a '\' before the name.
    comm.setFileToSend(m_files.path() + "\\server.ini");
    QSignalSpy finished(&comm, &SaxComm::transferFinished);
    frmSaxComm statusWindow(comm.transfer());
    QCOMPARE(comm.setTransfer(1), Result<> {});
    QVERIFY(QTest::qWaitForWindowExposed(&statusWindow));

    // A second command is turned down in the window and leaves the transfer alone: one transfer
    // has gone on the line.
    comm.setFileToSend(m_files.filePath("other.ini"));
    QCOMPARE(comm.setTransfer(1), Result<> {});
    QVERIFY2(statusWindow.text("notice").contains("turned down"),
        qPrintable(statusWindow.text("notice")));
    QCOMPARE(peer.receivedSoFar(comm.port()).count("rz\r"), 1);
    QCOMPARE(QApplication::focusWidget(), focus);
    // What the receiver answers is logged, whether or not the sender can use it.
    QSignalSpy answered(&comm.port(), &QIODevice::readyRead);
    peer.port.write("x");
    QVERIFY(answered.wait());

    auto* cancel = statusWindow.findChild<QPushButton*>("cmdCancel");
    cancel->click();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().at(1).toString(), QStringLiteral("Failed: cancelled by user"));
    QCOMPARE(statusWindow.text("outcome"), finished.first().at(1).toString());
    QTRY_VERIFY(peer.received().endsWith(kCancel));
    // Close now closes the window.
    cancel->click();
    QVERIFY(!statusWindow.isVisible());
    // The port stays open: plain bytes go next, and are done once written.
    comm.setStartupOption(0);
    comm.setFileToSend(m_files.filePath("server.ini"));
    QVERIFY(comm.setTransfer(1).ok() && finished.wait());

    // What each switch put in the log, in the kind's column; hex dumps as in the hex column.
    const QString log = QString::fromUtf8(fileContents(comm.commSpyLogPath()));
    for (const char* record : { "event    Sending server.ini (38 bytes) with ZMODEM",
             "input    78 ", "output   72 7a 0d ", "warning  No file to send has been named.",
             "event    Transfer Completed: 38 bytes" })
        QVERIFY2(log.contains(record), qPrintable(log));
    QVERIFY2(!log.contains("property"), qPrintable(log));

    // Settings take effect on the open port. A pseudo-terminal keeps its character format:
    // parity and 7 data bits are refused, and the port goes on with the line it had.
    QCOMPARE(comm.setSettings("19200,n,8,2"), Result<> {});
    QVERIFY(!comm.setSettings("1200,e,7,1").ok());
    QCOMPARE(comm.settings(), QStringLiteral("19200,n,8,2"));
    QVERIFY(comm.port().baudRate() == 19200 && comm.port().stopBits() == QSerialPort::TwoStop);
    // The port name only changes while the port is closed, and the port is still open.
    QVERIFY(!comm.setCommPort("COM2").ok());
    QCOMPARE(comm.commPort(), QStringLiteral("COM1"));
    // Closed, the port takes only a string it can read as settings.
    QCOMPARE(comm.setPortOpen(false), Result<> {});
    QVERIFY(!comm.setSettings("9600;n;8;1").ok());
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
    for (const QString& line :
        QString::fromUtf8(fileContents(path)).split('\n', Qt::SkipEmptyParts)) {
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
    QVERIFY(fileContents(path + ".1").endsWith("record 199\n"));
    QVERIFY(!QFile::exists(path + ".2"));
    // Both hold what went over the line, the FTP password among it: their owner's alone.
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const auto others = QFileDevice::ReadGroup | QFileDevice::ReadOther;
    for (const QString& file : { path, path + ".1" })
        QCOMPARE(QFile::permissions(file) & (ownerOnly | others), ownerOnly);
}

QTEST_MAIN(TestSaxComm)
#include "test_sax_comm.moc"
