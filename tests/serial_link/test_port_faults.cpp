// Faults of the serial port as the terminal meets them: the line ending or the device vanishing
// in the middle of an upload or while idle, and a port that is missing, locked by another program
// or not permitted at start-up. The terminal (serial control, main window, Write) runs in this
// process, its COM1 a socat pseudo-terminal with lrzsz's receiver at the far end; only the
// permission check starts it in a child (this program with --start-up), as another user.

#include "app/settings_file_commands.h"
#include "app/settings_upload.h"
#include "fakes/fake_file_dialogs.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_working_directory.h"
#include "serial_link/sax_comm.h"
#include "testkit/pty_pair.h"
#include "windows/frm_main.h"
#include "windows/frm_sax_comm.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <grp.h>
#include <unistd.h>
#include <utility>

namespace {

// The permission faults: the device is denied to the user, and its group may use it, so that
// joining the group helps, or only read it.
enum Fault { FarEndCloses, Unplugged, UnpluggedIdle, Missing, Locked, Held, GroupUses, GroupReads };

/// The serial control, the main window and its Write button, on a fake platform; COM1 is the
/// device that ZELVIC_COM1 names.
struct TerminalRig
{
    /// How the port stands, by the terminal's word and by the pseudo-terminals this process
    /// really holds, and the messages shown since the last look.
    QString seen()
    {
        int held = 0;
        for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::Files | QDir::System))
            held += fd.fileName().toInt() > 2 && fd.symLinkTarget().startsWith("/dev/pts/");
        return QString("%1 (%2 held) %3")
            .arg(comm.portOpen() ? "open" : "closed", QString::number(held),
                std::exchange(boxes.shown, {}).join(" / "))
            .trimmed();
    }

    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    FakeWorkingDirectory workingDirectory;
    SaxComm comm;
    frmSaxComm statusWindow { comm.transfer() };
    frmMain window { comm, boxes };
    SettingsFileCommands settingsFile { window, dialogs, boxes, workingDirectory };
    SettingsUpload upload { window, settingsFile, comm, boxes };
};

/// What a start of the terminal in a child process shows; root passes every permission check,
/// so as root the child runs as nobody.
QString startUpInChild()
{
    const QStringList asNobody { "--reuid=65534", "--regid=65534", "--clear-groups" };
    QProcess child;
    child.start("setpriv",
        (::geteuid() == 0 ? asNobody : QStringList())
            + QStringList { QCoreApplication::applicationFilePath(), "--start-up" });
    child.waitForFinished();
    return QString::fromUtf8(child.readAllStandardOutput()).trimmed();
}

} // namespace

class TestPortFaults : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { m_socat.close(); }
    void portFault_data();
    void portFault();

private:
    bool lineUp();

    QTemporaryDir m_folder;
    const QString m_port = m_folder.filePath("port");
    QProcess m_socat;
};

// The line: socat joins a pseudo-terminal, the port, to lrzsz's receiver on a socket pair. The
// receiver works in the test's folder and renames what arrives rather than overwrite server.ini.
bool TestPortFaults::lineUp()
{
    cleanup();
    QFile::remove(m_port);
    m_socat.setWorkingDirectory(m_folder.path());
    return startSocat(m_socat, { "pty,raw,echo=0,link=" + m_port, "EXEC:rz -E -q" });
}

void TestPortFaults::portFault_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("advice");

    // While the terminal runs: socat told to stop closes both sides; killed, it leaves the port's
    // path pointing nowhere. An upload under way fails and its status window says what to do.
    QTest::newRow("far end closes in an upload") << int(FarEndCloses) << "reconnect the cable";
    QTest::newRow("device vanishes in an upload") << int(Unplugged) << "reconnect the cable";
    QTest::newRow("device vanishes while idle") << int(UnpluggedIdle) << "";
    // At start-up, one message box says what to do.
    QTest::newRow("missing at start-up") << int(Missing) << "there is no such device. Connect";
    QTest::newRow("locked by another program") << int(Locked) << "another program holds it. Close";
    QTest::newRow("open in another terminal") << int(Held) << "another program holds it. Close";
    // The message names the group to join when joining it helps. root's own group never does: as
    // root the device goes to the terminal's group.
    const char* group = ::getegid() == 0 ? "tty" : ::getgrgid(::getegid())->gr_name;
    const QString denied = "permission denied. Add your user to the '%1' group";
    QTest::newRow("permission denied, group may use it") << int(GroupUses) << denied.arg(group);
    QTest::newRow("permission denied, group may only read")
        << int(GroupReads) << denied.arg("dialout");
}

void TestPortFaults::portFault()
{
    QFETCH(int, fault);
    QFETCH(QString, advice);
    QVERIFY(lineUp());
    const bool notPermitted = fault >= GroupUses;
    // Another user cannot follow the link in this test's own folder.
    const QString device = notPermitted ? QFileInfo(m_port).canonicalFilePath() : m_port;
    qputenv("ZELVIC_COM1", QFile::encodeName(device));
    QProcess holder;
    if (fault == Missing)
        QFile::remove(m_port);
    else if (fault == Locked)
        holder.start("flock", { "--no-fork", device, "sh", "-c", "echo locked; exec cat" });
    else if (fault == Held)
        holder.start(QCoreApplication::applicationFilePath(), { "--hold", device });
    // The holder says so once it holds the device.
    if (fault == Locked || fault == Held)
        QVERIFY(holder.waitForReadyRead());
    if (notPermitted) {
        const gid_t group = ::getegid() == 0 ? ::getgrnam("tty")->gr_gid : ::getegid();
        QVERIFY(::chown(QFile::encodeName(device).constData(), ::geteuid(), group) == 0);
        // The owner keeps its rights only as root, whose child runs as nobody.
        const int mode = (fault == GroupUses ? 0x0060 : 0x0040) | (::geteuid() ? 0 : 0x6000);
        QVERIFY(QFile::setPermissions(device, QFileDevice::Permissions(mode)));
    }
    TerminalRig rig;
    if (!notPermitted)
        rig.window.Load();
    const QString start = notPermitted ? startUpInChild() : rig.seen();
    // Exactly one message at a failed start.
    QVERIFY2(fault <= UnpluggedIdle
            ? start == "open (1 held)"
            : (start.startsWith("closed (0 held) Cannot open serial port COM1")
                && start.contains(advice) && !start.contains(" / ")),
        qPrintable(start));
    if (notPermitted) {
        QVERIFY(QFile::setPermissions(device, QFileDevice::Permissions(0x6666)));
        QCOMPARE(startUpInChild(), "open (1 held)");
        return;
    }

    // Write saves the settings and sends them: texts long enough that the line goes while they
    // are on their way.
    rig.dialogs.answers.append(m_folder.filePath("server.ini"));
    for (const char* box : { "txtSenderAddress", "txtReceiverAddress", "txtHost" })
        rig.window.applySetting({ box, QString(30000, u'x') });
    QSignalSpy finished(&rig.comm, &SaxComm::transferFinished);
    const auto breakLine = [&] { fault == FarEndCloses ? m_socat.terminate() : m_socat.kill(); };
    if (fault < UnpluggedIdle) {
        connect(&rig.comm.port(), &QIODevice::bytesWritten,
            [&, written = qint64(0)](qint64 bytes) mutable {
                if (written < 65536 && (written += bytes) >= 65536)
                    breakLine();
            });
        rig.window.writeButton()->click();
    } else if (fault == UnpluggedIdle) {
        breakLine();
    }
    if (fault <= UnpluggedIdle) {
        // The terminal notices by itself, before the user presses Write.
        QTRY_VERIFY(!rig.comm.portOpen() && finished.size() == int(fault != UnpluggedIdle));
        QVERIFY(fault == UnpluggedIdle || rig.statusWindow.text("notice").contains(advice));
    }
    rig.window.writeButton()->click();
    QCOMPARE(rig.seen(), "closed (0 held) Serial port is closed");

    // Once the fault is gone, the port opens again and an upload goes through.
    rig.window.applySetting({ "txtHost", QString("mail.example.com") });
    holder.close();
    if (fault != Locked)
        QVERIFY(lineUp());
    QCOMPARE(rig.comm.setPortOpen(true), Result<> {});
    QCOMPARE(rig.seen(), "open (1 held)");
    rig.window.writeButton()->click();
    QTRY_VERIFY(!finished.isEmpty() && finished.last().first().toBool());
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // One start of the terminal, seen from outside: its messages and how its port stands.
    if (argc == 2 && qstrcmp(argv[1], "--start-up") == 0) {
        TerminalRig rig;
        rig.window.Load();
        return std::printf("%s\n", qPrintable(rig.seen())) < 0;
    }
    // Another terminal: the port held open by the serial library, with its lock.
    if (argc == 3 && qstrcmp(argv[1], "--hold") == 0) {
        QSerialPort port(QString::fromLocal8Bit(argv[2]));
        return port.open(QIODevice::ReadWrite) && std::puts("held") >= 0 && std::fflush(stdout) == 0
            ? app.exec()
            : 1;
    }
    TestPortFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_port_faults.moc"
