#include "app/ping_command.h"
#include "fakes/fake_file_dialogs.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_process_launcher.h"
#include "fakes/fake_system_directory.h"
#include "fakes/ip_texts.h"
#include "platform/process_launcher_posix.h"
#include "platform/system_directory_posix.h"
#include "serial_link/sax_comm.h"
#include "windows/frm_main.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestPing : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_window = std::make_unique<frmMain>(m_comm, m_boxes); }
    void lookupDialogAndStart();
    void realStartPassesTheAddressAsOneArgument();

private:
    FakeMessageBoxes m_boxes;
    SaxComm m_comm { QProcessEnvironment() };
    std::unique_ptr<frmMain> m_window;
};

void TestPing::lookupDialogAndStart()
{
    FakeSystemDirectory system;
    FakeFileDialogs dialogs;
    FakeProcessLauncher launcher;
    launcher.result = Failure { "cannot start" };
    const PingCommand ping(*m_window, system, dialogs, launcher, m_boxes);
    // An address with leading zeros goes as the settings file writes it, in plain decimal.
    setIpTexts(*m_window, { "192", "000", "0", "010" });

    // The candidates in order, up to the first found.
    const QStringList all { "C:\\WINDOWS\\ping.exe", "C:\\WINDOWS\\system\\ping.exe",
        "C:\\WINDOWS\\system32\\ping.exe" };
    system.existing = all.mid(1);
    m_window->menu().mnuPing->trigger();
    QCOMPARE(system.tested, all.mid(0, 2));
    // None found: the path chosen in the dialog is taken as it is; Cancel ends the command.
    system.existing.clear();
    dialogs.answers << "/opt/my tools/ping.exe" << std::nullopt;
    m_window->menu().mnuPing->trigger();
    m_window->menu().mnuPing->trigger();
    QStringList started;
    for (const FakeProcessLauncher::Started& start : launcher.started)
        started << start.program << start.arguments;
    QCOMPARE(
        started, (QStringList { all[1], "192.0.0.10", "/opt/my tools/ping.exe", "192.0.0.10" }));

    // A directory shorter than a bare drive is no directory. The one message of the whole run:
    // a program that could not be started left none.
    system.buffer = FakeSystemDirectory::filled("C");
    m_window->menu().mnuPing->trigger();
    QCOMPARE(m_boxes.shown, QStringList { "Error in win path" });
}

void TestPing::realStartPassesTheAddressAsOneArgument()
{
    // A ping in a folder with a blank in its name that writes each argument it gets on a line of
    // its own; sh stands in for the terminal, running "-e PROGRAM ARGS..." as xterm does.
    QTemporaryDir dir;
    const QString folder = dir.filePath("system dir");
    QFile output(dir.filePath("arguments.txt"));
    QFile ping(folder + "/ping");
    QVERIFY(QDir().mkpath(folder)
        && ping.open(QIODevice::WriteOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    ping.write("printf '%s\\n' \"$@\" > '" + output.fileName().toUtf8() + "'\n");
    ping.close();

    PosixSystemDirectory system(folder);
    FakeFileDialogs dialogs;
    PosixProcessLauncher launcher({ "no-such-terminal", "/bin/sh" });
    const PingCommand command(*m_window, system, dialogs, launcher, m_boxes);
    const QString expand = "$(touch " + dir.filePath("expanded") + ")";
    setIpTexts(*m_window, { expand, "2 3", "*", "4;x" });
    m_window->menu().mnuPing->trigger();
    const QByteArray expected = expand.toUtf8() + ".2 3.*.4;x\n";
    QTRY_COMPARE(QFileInfo(output).size(), expected.size());
    QVERIFY(output.open(QIODevice::ReadOnly));
    QCOMPARE(output.readAll(), expected);
    QVERIFY(!QFile::exists(dir.filePath("expanded")));
}

QTEST_MAIN(TestPing)
#include "test_ping.moc"
