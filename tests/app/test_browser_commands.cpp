#include "app/browser_commands.h"
#include "fakes/fake_browser_module.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_working_directory.h"
#include "fakes/ip_texts.h"
#include "serial_link/sax_comm.h"
#include "windows/browser_module_posix.h"
#include "windows/frm_main.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestBrowserCommands : public QObject
{
    Q_OBJECT

private slots:
    void addressesOpenedAndFailuresReported();

private:
    FakeMessageBoxes m_boxes;
    FakeWorkingDirectory m_directory;
    FakeBrowserModule m_browsers;
    QTemporaryDir m_installed; // where the help page the terminal was installed with lies
    SaxComm m_comm { QProcessEnvironment() };
    frmMain m_window { m_comm, m_boxes };
    BrowserCommands m_commands { m_window, m_directory, m_browsers, m_boxes, m_installed.path() };
};

void TestBrowserCommands::addressesOpenedAndFailuresReported()
{
    // Texts that make no address are taken as they stand, leading zeros dropped from one that
    // does; the help page follows the current directory, its address escaped so that it leads to
    // the file itself. Neither that directory nor the installed one has a help page: the current
    // one stays.
    setIpTexts(m_window, { "a b", " 1", "x/", "?" });
    m_window.menu().mnuWebBrowser->trigger();
    setIpTexts(m_window, { "127", "000", "000", "010" });
    m_window.menu().mnuWebBrowser->trigger();
    m_directory.path = "/tmp/my a#1?b%";
    m_window.menu().HelpTopicsMenu->trigger();
    // Without a help page in the current directory, the installed one stands in.
    QTemporaryDir current;
    m_directory.path = current.path();
    QVERIFY(QFile(m_installed.filePath("help.htm")).open(QIODevice::WriteOnly));
    m_commands.HelpTopics();
    QVERIFY(QFile(current.filePath("help.htm")).open(QIODevice::WriteOnly));
    m_commands.HelpTopics();
    QCOMPARE(m_browsers.opened,
        QStringList({ "http://a b. 1.x/.?", "http://127.0.0.10",
            "file:///tmp/my a%231%3Fb%25/help.htm", "file://" + m_installed.filePath("help.htm"),
            "file://" + current.filePath("help.htm") }));

    // A module that cannot be loaded, installed in bin/../lib/zelvic, is reported by each command.
    QTemporaryDir dir;
    const QString installed = dir.filePath("lib/zelvic/libzelvic_browser.so");
    QCOMPARE(browserModulePath(dir.filePath("bin")), installed);
    const Result<> opened = PosixBrowserModule(m_boxes, installed).openWindow("http://127.0.0.1");
    QVERIFY(!opened.ok() && opened.error().startsWith(installed));
    m_browsers.result = opened;
    m_commands.WebBrowser();
    m_commands.HelpTopics();
    QCOMPARE(m_boxes.shown, QStringList(2, opened.error()));
}

QTEST_MAIN(TestBrowserCommands)
#include "test_browser_commands.moc"
