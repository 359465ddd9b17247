#include "fakes/fake_file_dialogs.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_process_launcher.h"
#include "fakes/fake_system_directory.h"
#include "fakes/ip_texts.h"
#include "main_window/frm_main.h"
#include "platform/process_launcher_posix.h"
#include "platform/system_directory_posix.h"
#include "serial_link/sax_comm.h"
#include "tools/ping_command.h"
#include "tools/ping_rules.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

void writeScript(const QString& path, const QByteArray& body)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + body);
    file.close();
    QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
}

class TestPing : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_window = std::make_unique<frmMain>(m_comm, m_boxes);
        m_boxes.shown.clear();
    }
    void directoryFromBuffer_data();
    void directoryFromBuffer();
    void search_data();
    void search();
    void linuxExistenceTest_data();
    void linuxExistenceTest();
    void realStartKeepsArgumentsApart();

private:
    FakeMessageBoxes m_boxes;
    SaxComm m_comm { QProcessEnvironment() };
    std::unique_ptr<frmMain> m_window;
};

void TestPing::directoryFromBuffer_data()
{
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<QString>("directory"); // empty: "Error in win path"
    const QString nul(QChar(u'\0'));
    QTest::newRow("bare drive") << FakeSystemDirectory::filled("C:") << "C:";
    QTest::newRow("one character") << FakeSystemDirectory::filled("C") << "";
    QTest::newRow("no nul") << QString(260, u' ') << "";
    QTest::newRow("first nul ends it") << "/usr/bin" + nul + "x" + nul << "/usr/bin";
    QTest::newRow("linux") << PosixSystemDirectory().directoryBuffer() << "/usr/bin";
    QTest::newRow("linux, too long")
        << PosixSystemDirectory(QString(260, 'd')).directoryBuffer() << "";
}

void TestPing::directoryFromBuffer()
{
    QFETCH(QString, buffer);
    QFETCH(QString, directory);
    QCOMPARE(::directoryFromBuffer(buffer).value_or(QString()), directory);
}

void TestPing::search_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<int>("tested"); // how many candidates the search tries
    QTest::addColumn<QStringList>("dialog"); // shown: its answer, or "" for Cancel
    QTest::addColumn<QStringList>("ip");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("program"); // empty: nothing started
    QTest::addColumn<QString>("address");
    const auto row = [](const char* tag, const QString& directory, const QStringList& existing,
                         int tested, const QStringList& dialog, const QStringList& ip,
                         const QString& message, const QString& program, const QString& address) {
        QTest::newRow(tag) << directory << existing << tested << dialog << ip << message << program
                           << address;
    };
    const QString w = "C:\\WINDOWS\\ping.exe", s = "C:\\WINDOWS\\system\\ping.exe",
                  s32 = "C:\\WINDOWS\\system32\\ping.exe";
    const QStringList ip { "192", "168", "0", "10" };
    row("the directory first", "C:\\WINDOWS", { s32, s, w }, 1, {}, ip, "", w, "192.168.0.10");
    row("then system", "C:\\WINDOWS", { s32, s }, 2, {}, ip, "", s, "192.168.0.10");
    row("then system32", "C:\\WINDOWS", { "C:\\WINDOWS\\PING.EXE", s32 }, 3, {}, ip, "", s32,
        "192.168.0.10");
    row("bad directory", "C", { "C\\ping.exe" }, 0, {}, ip, "Error in win path", "", "");
    row("dialog cancelled", "C:\\WINDOWS", {}, 3, { "" }, ip, "", "", "");
    row("dialog path with blanks", "C:\\WINDOWS", {}, 3, { "/opt/my tools/ping.exe" }, ip, "",
        "/opt/my tools/ping.exe", "192.168.0.10");
    row("empty fields", "C:\\WINDOWS", { w }, 1, {}, { "", "", "", "" }, "", w, "...");
    row("odd texts unchanged", "C:\\WINDOWS", { w }, 1, {}, { "$(id)", ";ls", " 1 ", "a b" }, "", w,
        "$(id).;ls. 1 .a b");
}

void TestPing::search()
{
    QFETCH(QString, directory);
    QFETCH(QStringList, existing);
    QFETCH(int, tested);
    QFETCH(QStringList, dialog);
    QFETCH(QStringList, ip);
    QFETCH(QString, message);
    QFETCH(QString, program);
    QFETCH(QString, address);
    FakeSystemDirectory system;
    system.buffer = FakeSystemDirectory::filled(directory);
    system.existing = existing;
    FakeFileDialogs dialogs;
    for (const QString& answer : dialog)
        dialogs.answers.append(answer.isEmpty() ? std::nullopt : std::optional(answer));
    FakeProcessLauncher launcher;
    // A program that cannot be started leaves no trace.
    launcher.failure = QString("cannot start");
    const PingCommand ping(*m_window, system, dialogs, launcher, m_boxes);
    setIpTexts(*m_window, ip);
    m_window->menuItem("mnuPing")->trigger();

    QCOMPARE(m_boxes.shown, message.isEmpty() ? QStringList() : QStringList { message });
    QCOMPARE(system.tested, pingCandidates(directory).mid(0, tested));
    QCOMPARE(dialogs.shown.size(), dialog.size());
    if (!dialogs.shown.isEmpty()) {
        QCOMPARE(dialogs.shown[0].kind, FakeFileDialogs::Kind::Open);
        QCOMPARE(dialogs.shown[0].request.filter, "Init files (*.exe)|*.exe|All files (*.*)|*.*|");
        QCOMPARE(dialogs.shown[0].request.fileName, "ping.exe");
        QCOMPARE(dialogs.shown[0].request.filterIndex, 1);
    }
    QCOMPARE(launcher.started.size(), program.isEmpty() ? 0 : 1);
    if (!program.isEmpty()) {
        QCOMPARE(launcher.started[0].program, program);
        QCOMPARE(launcher.started[0].arguments, QStringList { address });
        QVERIFY(launcher.started[0].inTerminal);
    }
}

void TestPing::linuxExistenceTest_data()
{
    QTest::addColumn<QString>("candidate");
    QTest::addColumn<QString>("found");
    const auto row = [](const char* tag, const char* candidate, const char* found) {
        QTest::newRow(tag) << QString(candidate) << QString(found);
    };
    row("separators and .exe", "%1\\system32\\ping.exe", "%1/system32/ping");
    row("other letter case", "%1\\PING.EXE", "");
    row("not executable", "%1\\plain.exe", "");
    row("a directory", "%1\\system32.exe", "");
    row("missing", "%1\\system\\ping.exe", "");
}

void TestPing::linuxExistenceTest()
{
    QFETCH(QString, candidate);
    QFETCH(QString, found);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("system32"));
    writeScript(dir.filePath("ping"), "exit 0\n");
    writeScript(dir.filePath("system32/ping"), "exit 0\n");
    QFile plain(dir.filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    const PosixSystemDirectory system(dir.path());
    QCOMPARE(system.findFile(candidate.arg(dir.path())).value_or(""), found.arg(dir.path()));
}

void TestPing::realStartKeepsArgumentsApart()
{
    // A stand-in terminal that runs "-e PROGRAM ARGS..." as xterm does, and a fake ping in a
    // folder with a blank in its name that writes each argument it gets on a line of its own.
    QTemporaryDir dir;
    const QString folder = dir.filePath("system dir");
    const QByteArray output = dir.filePath("arguments.txt").toUtf8();
    QVERIFY(QDir().mkpath(folder));
    writeScript(dir.filePath("terminal"), "[ \"$1\" = -e ] || exit 1\nshift\nexec \"$@\"\n");
    writeScript(folder + "/ping",
        "printf '%s\\n' \"$@\" > \"" + output + ".part\"\nmv \"" + output + ".part\" \"" + output
            + "\"\n");
    PosixSystemDirectory system(folder);
    FakeFileDialogs dialogs;
    PosixProcessLauncher launcher({ "no-such-terminal", dir.filePath("terminal") });
    const PingCommand ping(*m_window, system, dialogs, launcher, m_boxes);
    setIpTexts(*m_window, { "$(touch " + dir.filePath("expanded") + ")", "2 3", "*", "4;x" });
    m_window->menuItem("mnuPing")->trigger();

    QTRY_VERIFY(QFile::exists(output));
    QFile file(output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), "$(touch " + dir.filePath("expanded").toUtf8() + ").2 3.*.4;x\n");
    QVERIFY(!QFile::exists(dir.filePath("expanded")));
    QVERIFY(PosixProcessLauncher({ "no-such-terminal" }).startInTerminal(folder + "/ping", {}));
}

QTEST_MAIN(TestPing)
#include "test_ping.moc"
