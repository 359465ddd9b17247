// The tools of the main window's menu: Ping, the web browser and the help page, each started
// from what the IP address boxes hold, and About with its system information tool.

#include "app/browser_commands.h"
#include "app/ping_command.h"
#include "fakes/fake_browser_module.h"
#include "fakes/fake_file_dialogs.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_process_launcher.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_system_directory.h"
#include "fakes/fake_working_directory.h"
#include "platform/get_key_value.h"
#include "platform/process_launcher_posix.h"
#include "platform/registry_posix.h"
#include "platform/system_directory_posix.h"
#include "serial_link/sax_comm.h"
#include "windows/browser_module_posix.h"
#include "windows/frm_about.h"
#include "windows/frm_main.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTest>

const QString kInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";

class TestTools : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_boxes.shown.clear();
        m_window = std::make_unique<frmMain>(m_comm, m_boxes);
    }
    void pingLookupDialogAndStart();
    void pingPassesTheAddressAsOneArgument();
    void browserAddressesAndFailures();
    void aboutRegistryValuesAndSysInfo();

private:
    // Puts the texts straight into the four IP address boxes, past the entry rules: the tools
    // take whatever the boxes hold.
    void setIpTexts(const QStringList& texts);

    FakeMessageBoxes m_boxes;
    SaxComm m_comm { QProcessEnvironment() };
    std::unique_ptr<frmMain> m_window;
};

void TestTools::setIpTexts(const QStringList& texts)
{
    const QStringList names { "txtIpAddress", "txtIpAddress2", "txtIpAddress3", "txtIpAddress4" };
    for (qsizetype i = 0; i < names.size(); ++i) {
        auto* box = m_window->findChild<QLineEdit*>(names[i]);
        const QSignalBlocker blocker(box);
        box->setText(texts[i]);
    }
}

void TestTools::pingLookupDialogAndStart()
{
    FakeSystemDirectory system;
    FakeFileDialogs dialogs;
    FakeProcessLauncher launcher;
    launcher.result = Failure { "cannot start" };
    const PingCommand ping(*m_window, system, dialogs, launcher, m_boxes);
    // An address with leading zeros goes as the settings file writes it, in plain decimal.
    setIpTexts({ "192", "000", "0", "010" });

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

void TestTools::pingPassesTheAddressAsOneArgument()
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
    setIpTexts({ expand, "2 3", "*", "4;x" });
    m_window->menu().mnuPing->trigger();
    const QByteArray expected = expand.toUtf8() + ".2 3.*.4;x\n";
    QTRY_COMPARE(QFileInfo(output).size(), expected.size());
    QVERIFY(output.open(QIODevice::ReadOnly));
    QCOMPARE(output.readAll(), expected);
    QVERIFY(!QFile::exists(dir.filePath("expanded")));
}

void TestTools::browserAddressesAndFailures()
{
    FakeWorkingDirectory directory;
    FakeBrowserModule browsers;
    QTemporaryDir installed; // where the help page the terminal was installed with lies
    BrowserCommands commands(*m_window, directory, browsers, m_boxes, installed.path());
    // Texts that make no address are taken as they stand, leading zeros dropped from one that
    // does; the help page follows the current directory, its address escaped so that it leads to
    // the file itself. Neither that directory nor the installed one has a help page: the current
    // one stays.
    setIpTexts({ "a b", " 1", "x/", "?" });
    m_window->menu().mnuWebBrowser->trigger();
    setIpTexts({ "127", "000", "000", "010" });
    m_window->menu().mnuWebBrowser->trigger();
    directory.path = "/tmp/my a#1?b%";
    m_window->menu().HelpTopicsMenu->trigger();
    // Without a help page in the current directory, the installed one stands in.
    QTemporaryDir current;
    directory.path = current.path();
    QVERIFY(QFile(installed.filePath("help.htm")).open(QIODevice::WriteOnly));
    commands.HelpTopics();
    QVERIFY(QFile(current.filePath("help.htm")).open(QIODevice::WriteOnly));
    commands.HelpTopics();
    QCOMPARE(browsers.opened,
        QStringList({ "http://a b. 1.x/.?", "http://127.0.0.10",
            "file:///tmp/my a%231%3Fb%25/help.htm", "file://" + installed.filePath("help.htm"),
            "file://" + current.filePath("help.htm") }));

    // A module that cannot be loaded, installed in bin/../lib/zelvic, is reported by each command.
    QTemporaryDir dir;
    const QString module = dir.filePath("lib/zelvic/libzelvic_browser.so");
    QCOMPARE(browserModulePath(dir.filePath("bin")), module);
    const Result<> opened = PosixBrowserModule(m_boxes, module).openWindow("http://127.0.0.1");
    QVERIFY(!opened.ok() && opened.error().startsWith(module));
    browsers.result = opened;
    commands.WebBrowser();
    commands.HelpTopics();
    QCOMPARE(m_boxes.shown, QStringList(2, opened.error()));
}

void TestTools::aboutRegistryValuesAndSysInfo()
{
    QCOMPARE(registryValueText(Registry::kString, QByteArray("C:\\A\0B\0", 7), ""), "C:\\A");
    // 0x00010203 as the registry stores it, in the bytes of a little-endian machine.
    QCOMPARE(registryValueText(Registry::kNumber32, QByteArray("\3\2\1", 4), ""), "&h10203");
    // The first of the desktop's tools found stands in for the registry's entry.
    QString text;
    PosixRegistry shell({ "no-such-tool", "/bin/sh" });
    QVERIFY(GetKeyValue(shell, Registry::kLocalMachine, kInfoKey, "PATH", text).value());
    QCOMPARE(text, "/bin/sh");

    FakeRegistry registry;
    FakeSystemDirectory system;
    FakeProcessLauncher launcher;
    AboutCommand command(*m_window, AboutPlatform { registry, system, launcher, m_boxes });
    // One box, however often About is chosen, until it is closed.
    m_window->menu().AboutMenu->trigger();
    m_window->menu().AboutMenu->trigger();
    QCOMPARE(m_window->findChildren<frmAbout*>().size(), 1);
    QPointer<frmAbout> about = command.window();
    auto* sysInfo = about->findChild<QPushButton*>("cmdSysInfo");

    // The second entry's folder without the tool: a message. Then with it; then the first entry,
    // which comes before the second.
    registry.setString("SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", "C:\\Tools");
    sysInfo->click();
    system.existing = { "C:\\Tools\\MSINFO32.EXE" };
    sysInfo->click();
    registry.setString(kInfoKey, "PATH", "/bin/tool");
    sysInfo->click();
    QCOMPARE(launcher.started.value(0).program, "C:\\Tools\\MSINFO32.EXE");
    QCOMPARE(launcher.started.value(1).program, "/bin/tool");
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(registry.openCount, 0); // every key read is closed again
    // Enter on the focused button starts the tool too, and About stays open.
    sysInfo->setFocus();
    QTest::keyClick(sysInfo, Qt::Key_Return);
    QCOMPARE(launcher.started.size(), 3);
    QVERIFY(about->isVisible());

    QTest::keyClick(about, Qt::Key_Escape);
    QTRY_VERIFY(!about);
    m_window->menu().AboutMenu->trigger();
    QVERIFY(command.window());
}

QTEST_MAIN(TestTools)
#include "test_tools.moc"
