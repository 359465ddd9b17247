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
    void ping_data();
    void ping();
    void linuxLookupAndRealStart();

private:
    FakeMessageBoxes m_boxes;
    SaxComm m_comm { QProcessEnvironment() };
    std::unique_ptr<frmMain> m_window;
};

void TestPing::ping_data()
{
    QTest::addColumn<QString>("buffer"); // the system directory buffer
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QStringList>("tested"); // none: "Error in win path"
    QTest::addColumn<QString>("answer"); // the dialog's, shown when no candidate exists; "": Cancel
    QTest::addColumn<QStringList>("ip");
    QTest::addColumn<QStringList>("started"); // the program and its one argument
    const auto row = [](const char* tag, const QString& buffer, const QStringList& existing,
                         const QStringList& tested, const QString& answer, const QStringList& ip,
                         const QStringList& started) {
        QTest::newRow(tag) << buffer << existing << tested << answer << ip << started;
    };
    const QString windows = FakeSystemDirectory::filled("C:\\WINDOWS");
    const QString s32 = "C:\\WINDOWS\\system32\\ping.exe";
    const QStringList all { "C:\\WINDOWS\\ping.exe", "C:\\WINDOWS\\system\\ping.exe", s32 };
    const QStringList ip { "192", "168", "0", "10" };
    row("bare drive, the first found wins, empty fields", FakeSystemDirectory::filled("C:"),
        { "C:\\system32\\ping.exe", "C:\\ping.exe" }, { "C:\\ping.exe" }, "", { "", "", "", "" },
        { "C:\\ping.exe", "..." });
    row("system32 last, odd texts unchanged", windows, { "C:\\WINDOWS\\PING.EXE", s32 }, all, "",
        { "$(id)", ";ls", " 1 ", "a b" }, { s32, "$(id).;ls. 1 .a b" });
    row("one character", FakeSystemDirectory::filled("C"), { "C\\ping.exe" }, {}, "", ip, {});
    row("no terminator", QString(260, u' '), {}, {}, "", ip, {});
    row("dialog cancelled", windows, {}, all, "", ip, {});
    row("dialog path with blanks", windows, {}, all, "/opt/my tools/ping.exe", ip,
        { "/opt/my tools/ping.exe", "192.168.0.10" });
}

void TestPing::ping()
{
    QFETCH(QString, buffer);
    QFETCH(QStringList, existing);
    QFETCH(QString, answer);
    QFETCH(QStringList, ip);
    QFETCH(QStringList, started);
    FakeSystemDirectory system;
    system.buffer = buffer;
    system.existing = existing;
    FakeFileDialogs dialogs;
    dialogs.answers << (answer.isEmpty() ? std::nullopt : std::optional(answer));
    FakeProcessLauncher launcher;
    // A program that cannot be started leaves no trace.
    launcher.failure = QString("cannot start");
    const PingCommand ping(*m_window, system, dialogs, launcher, m_boxes);
    setIpTexts(*m_window, ip);
    m_window->menuItem("mnuPing")->trigger();

    QTEST(system.tested, "tested");
    QCOMPARE(m_boxes.shown.join('|'), system.tested.isEmpty() ? "Error in win path" : "");
    QCOMPARE(dialogs.shown.size(), existing.isEmpty() && !system.tested.isEmpty() ? 1 : 0);
    QCOMPARE(launcher.started.size(), started.isEmpty() ? 0 : 1);
    for (const FakeProcessLauncher::Started& start : launcher.started) {
        QCOMPARE(QStringList { start.program } + start.arguments, started);
        QVERIFY(start.inTerminal);
    }
}

void TestPing::linuxLookupAndRealStart()
{
    QCOMPARE(directoryFromBuffer(PosixSystemDirectory().directoryBuffer()), "/usr/bin");
    QCOMPARE(directoryFromBuffer(PosixSystemDirectory(QString(260, 'd')).directoryBuffer()),
        std::nullopt);
    // A stand-in terminal that runs "-e PROGRAM ARGS..." as xterm does, and a fake ping in a
    // folder with a blank in its name that writes each argument it gets on a line of its own.
    QTemporaryDir dir;
    const QString folder = dir.filePath("system dir");
    QFile output(dir.filePath("arguments.txt"));
    QVERIFY(QDir().mkpath(folder));
    writeScript(dir.filePath("terminal"), "[ \"$1\" = -e ] || exit 1\nshift\nexec \"$@\"\n");
    writeScript(folder + "/ping", "printf '%s\\n' \"$@\" > '" + output.fileName().toUtf8() + "'\n");
    PosixSystemDirectory system(folder);
    // Only an executable file is found, its ".exe" dropped in any letter case.
    QVERIFY(QFile(folder + "/plain").open(QIODevice::WriteOnly));
    QCOMPARE(system.findFile(folder + "\\ping.EXE"), folder + "/ping");
    QCOMPARE(system.findFile(folder + "\\plain.exe"), std::nullopt);
    QCOMPARE(system.findFile(dir.path() + "\\system dir.exe"), std::nullopt);

    FakeFileDialogs dialogs;
    PosixProcessLauncher launcher({ "no-such-terminal", dir.filePath("terminal") });
    const PingCommand ping(*m_window, system, dialogs, launcher, m_boxes);
    const QString expand = "$(touch " + dir.filePath("expanded") + ")";
    setIpTexts(*m_window, { expand, "2 3", "*", "4;x" });
    m_window->menuItem("mnuPing")->trigger();
    const QByteArray expected = expand.toUtf8() + ".2 3.*.4;x\n";
    QTRY_COMPARE(QFileInfo(output).size(), expected.size());
    QVERIFY(output.open(QIODevice::ReadOnly));
    QCOMPARE(output.readAll(), expected);
    QVERIFY(!QFile::exists(dir.filePath("expanded")));
    QVERIFY(PosixProcessLauncher({ "no-such-terminal" }).startInTerminal(folder + "/ping", {}));
}

QTEST_MAIN(TestPing)
#include "test_ping.moc"
