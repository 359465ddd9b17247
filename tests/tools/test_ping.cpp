#include "fakes/fake_file_dialogs.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_process_launcher.h"
#include "fakes/fake_system_directory.h"
#include "main_window/frm_main.h"
#include "platform/process_launcher_posix.h"
#include "platform/system_directory_posix.h"
#include "serial_link/sax_comm.h"
#include "tools/ping_command.h"
#include "tools/ping_rules.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QStringList kIpRow { "txtIpAddress", "txtIpAddress2", "txtIpAddress3", "txtIpAddress4" };

void writeScript(const QString& path, const QByteArray& body)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + body);
    file.close();
    QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
}

} // namespace

class TestPing : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void directoryFromBuffer_data();
    void directoryFromBuffer();
    void candidateOrder_data();
    void candidateOrder();
    void badDirectoryStopsBeforeTheSearch();
    void dialogWhenNoCandidateExists_data();
    void dialogWhenNoCandidateExists();
    void addressTextsUnchanged_data();
    void addressTextsUnchanged();
    void startFailureIsSilent();
    void menuItemRunsTheCommand();

    void posixExistenceTest_data();
    void posixExistenceTest();
    void posixDirectoryBuffer();
    void realStartKeepsArgumentsApart();
    void noTerminalIsAFailure();

private:
    void setIpTexts(const QStringList& texts);

    FakeMessageBoxes m_boxes;
    FakeSystemDirectory m_system;
    FakeFileDialogs m_dialogs;
    FakeProcessLauncher m_launcher;
    std::unique_ptr<SaxComm> m_comm;
    std::unique_ptr<frmMain> m_window;
    std::unique_ptr<PingCommand> m_ping;
};

void TestPing::init()
{
    m_comm = std::make_unique<SaxComm>(QProcessEnvironment());
    m_window = std::make_unique<frmMain>(*m_comm, m_boxes);
    m_ping = std::make_unique<PingCommand>(*m_window, m_system, m_dialogs, m_launcher, m_boxes);
    setIpTexts({ "192", "168", "0", "10" });
}

void TestPing::cleanup()
{
    m_ping.reset();
    m_window.reset();
    m_comm.reset();
    m_boxes.shown.clear();
    m_system = FakeSystemDirectory();
    m_dialogs = FakeFileDialogs();
    m_launcher = FakeProcessLauncher();
}

void TestPing::setIpTexts(const QStringList& texts)
{
    // Straight into the boxes: the command must take whatever they hold.
    for (qsizetype i = 0; i < kIpRow.size(); ++i) {
        auto* box = m_window->findChild<QLineEdit*>(kIpRow[i]);
        const QSignalBlocker blocker(box);
        box->setText(texts[i]);
    }
}

void TestPing::directoryFromBuffer_data()
{
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<bool>("valid");
    const QChar nul(u'\0');
    QTest::newRow("windows") << FakeSystemDirectory::filled("C:\\WINDOWS") << "C:\\WINDOWS" << true;
    QTest::newRow("bare drive") << FakeSystemDirectory::filled("C:") << "C:" << true;
    QTest::newRow("one character") << FakeSystemDirectory::filled("C") << "" << false;
    QTest::newRow("empty") << FakeSystemDirectory::filled("") << "" << false;
    QTest::newRow("no nul") << QString(260, u' ') << "" << false;
    QTest::newRow("first nul counts")
        << QString("/usr/bin" + QString(nul) + "x" + QString(nul)) << "/usr/bin" << true;
    QTest::newRow("259 characters")
        << FakeSystemDirectory::filled(QString(259, u'd')) << QString(259, u'd') << true;
}

void TestPing::directoryFromBuffer()
{
    QFETCH(QString, buffer);
    QFETCH(QString, directory);
    QFETCH(bool, valid);
    const std::optional<QString> result = ::directoryFromBuffer(buffer);
    QCOMPARE(result.has_value(), valid);
    if (valid)
        QCOMPARE(*result, directory);
}

void TestPing::candidateOrder_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("program");
    QTest::addColumn<int>("tests");
    const QString w = "C:\\WINDOWS\\ping.exe", s = "C:\\WINDOWS\\system\\ping.exe",
                  s32 = "C:\\WINDOWS\\system32\\ping.exe";
    QTest::newRow("all three") << QStringList { s32, s, w } << w << 1;
    QTest::newRow("system and system32") << QStringList { s32, s } << s << 2;
    QTest::newRow("system32 only") << QStringList { s32 } << s32 << 3;
    QTest::newRow("other letter case is another file")
        << QStringList { "C:\\WINDOWS\\PING.EXE", s32 } << s32 << 3;
}

void TestPing::candidateOrder()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, program);
    QFETCH(int, tests);
    m_system.existing = existing;
    m_ping->Ping();
    QCOMPARE(m_system.tested, pingCandidates("C:\\WINDOWS").mid(0, tests));
    QCOMPARE(m_launcher.started.size(), 1);
    QCOMPARE(m_launcher.started[0].program, program);
    QCOMPARE(m_launcher.started[0].arguments, QStringList { "192.168.0.10" });
    QVERIFY(m_launcher.started[0].inTerminal);
    QVERIFY(m_dialogs.shown.isEmpty());
    QVERIFY(m_boxes.shown.isEmpty());
}

void TestPing::badDirectoryStopsBeforeTheSearch()
{
    m_system.buffer = FakeSystemDirectory::filled("C");
    m_system.existing = pingCandidates("C");
    m_ping->Ping();
    QCOMPARE(m_boxes.shown, QStringList { "Error in win path" });
    QVERIFY(m_system.tested.isEmpty());
    QVERIFY(m_dialogs.shown.isEmpty());
    QVERIFY(m_launcher.started.isEmpty());
}

void TestPing::dialogWhenNoCandidateExists_data()
{
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::newRow("cancel") << std::optional<QString>();
    QTest::newRow("path with blanks") << std::optional<QString>("/opt/my tools/ping.exe");
}

void TestPing::dialogWhenNoCandidateExists()
{
    QFETCH(std::optional<QString>, answer);
    m_dialogs.answers = { answer };
    m_ping->Ping();
    QCOMPARE(m_system.tested.size(), 3);
    QCOMPARE(m_dialogs.shown.size(), 1);
    QCOMPARE(m_dialogs.shown[0].kind, FakeFileDialogs::Kind::Open);
    QCOMPARE(m_dialogs.shown[0].request.filter, "Init files (*.exe)|*.exe|All files (*.*)|*.*|");
    QCOMPARE(m_dialogs.shown[0].request.fileName, "ping.exe");
    QCOMPARE(m_dialogs.shown[0].request.filterIndex, 1);
    QVERIFY(m_boxes.shown.isEmpty());
    QCOMPARE(m_launcher.started.size(), answer ? 1 : 0);
    if (answer) {
        QCOMPARE(m_launcher.started[0].program, *answer);
        QCOMPARE(m_launcher.started[0].arguments, QStringList { "192.168.0.10" });
    }
}

void TestPing::addressTextsUnchanged_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("address");
    QTest::newRow("empty") << QStringList { "", "", "", "" } << "...";
    QTest::newRow("blanks kept") << QStringList { " 1", "2 ", "", "4" } << " 1.2 ..4";
    QTest::newRow("shell text") << QStringList { "$(id)", ";ls", "`x`", "a b" }
                                << "$(id).;ls.`x`.a b";
}

void TestPing::addressTextsUnchanged()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, address);
    setIpTexts(texts);
    m_system.existing = { "C:\\WINDOWS\\ping.exe" };
    m_ping->Ping();
    QCOMPARE(m_launcher.started.size(), 1);
    QCOMPARE(m_launcher.started[0].arguments, QStringList { address });
}

void TestPing::startFailureIsSilent()
{
    m_system.existing = { "C:\\WINDOWS\\ping.exe" };
    m_launcher.failure = QString("No terminal emulator found");
    m_ping->Ping();
    QCOMPARE(m_launcher.started.size(), 1);
    QVERIFY(m_boxes.shown.isEmpty());
}

void TestPing::menuItemRunsTheCommand()
{
    m_system.existing = { "C:\\WINDOWS\\ping.exe" };
    m_window->menuItem("mnuPing")->trigger();
    m_window->menuItem("mnuPing")->trigger();
    // Nothing is remembered: the search runs again each time.
    QCOMPARE(m_system.tested.size(), 2);
    QCOMPARE(m_launcher.started.size(), 2);
}

void TestPing::posixExistenceTest_data()
{
    QTest::addColumn<QString>("candidate");
    QTest::addColumn<QString>("found");
    QTest::newRow("backslash and .exe") << "%1\\ping.exe"
                                        << "%1/ping";
    QTest::newRow("upper-case extension") << "%1\\PING.EXE"
                                          << "";
    QTest::newRow("subfolder") << "%1\\system32\\ping.exe"
                               << "%1/system32/ping";
    QTest::newRow("not executable") << "%1\\plain.exe"
                                    << "";
    QTest::newRow("a directory") << "%1\\system32.exe"
                                 << "";
    QTest::newRow("missing") << "%1\\system\\ping.exe"
                             << "";
}

void TestPing::posixExistenceTest()
{
    QFETCH(QString, candidate);
    QFETCH(QString, found);
    QTemporaryDir dir;
    writeScript(dir.filePath("ping"), "exit 0\n");
    QVERIFY(QDir(dir.path()).mkpath("system32"));
    writeScript(dir.filePath("system32/ping"), "exit 0\n");
    QFile plain(dir.filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    const std::optional<QString> result
        = PosixSystemDirectory(dir.path()).findFile(candidate.arg(dir.path()));
    QCOMPARE(result.value_or(QString()), found.isEmpty() ? found : found.arg(dir.path()));
}

void TestPing::posixDirectoryBuffer()
{
    QCOMPARE(::directoryFromBuffer(PosixSystemDirectory().directoryBuffer()), "/usr/bin");
    QCOMPARE(PosixSystemDirectory().directoryBuffer().size(), SystemDirectory::kBufferSize);
    // Too long for the buffer: no directory at all.
    QVERIFY(!::directoryFromBuffer(PosixSystemDirectory(QString(260, u'd')).directoryBuffer()));
}

void TestPing::realStartKeepsArgumentsApart()
{
    // A stand-in terminal that runs "-e PROGRAM ARGS..." as xterm does, and a fake ping in a
    // folder with a blank in its name that writes each argument it gets on a line of its own.
    QTemporaryDir dir;
    const QString folder = dir.filePath("system dir");
    QVERIFY(QDir().mkpath(folder));
    const QString output = dir.filePath("arguments.txt");
    writeScript(dir.filePath("terminal"), "[ \"$1\" = -e ] || exit 1\nshift\nexec \"$@\"\n");
    writeScript(folder + "/ping",
        "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + output.toUtf8() + ".part\"\nmv \""
            + output.toUtf8() + ".part\" \"" + output.toUtf8() + "\"\n");

    PosixSystemDirectory system(folder);
    PosixProcessLauncher launcher({ "no-such-terminal", dir.filePath("terminal") });
    PingCommand ping(*m_window, system, m_dialogs, launcher, m_boxes);
    setIpTexts({ "$(touch " + dir.filePath("expanded") + ")", "2 3", "*", "4;x" });
    ping.Ping();

    QTRY_VERIFY(QFile::exists(output));
    QFile file(output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), "$(touch " + dir.filePath("expanded").toUtf8() + ").2 3.*.4;x\n");
    QVERIFY(!QFile::exists(dir.filePath("expanded")));
    QVERIFY(m_boxes.shown.isEmpty());
}

void TestPing::noTerminalIsAFailure()
{
    PosixProcessLauncher launcher({ "no-such-terminal", "/nonexistent/xterm" });
    const Failure failure = launcher.startInTerminal("/usr/bin/ping", { "127.0.0.1" });
    QVERIFY(failure);
    QVERIFY(failure->contains("no-such-terminal"));
    QVERIFY(launcher.start("/nonexistent/program", {}));
}

QTEST_MAIN(TestPing)
#include "test_ping.moc"
