#include "fakes/fake_browser_module.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_working_directory.h"
#include "fakes/ip_texts.h"
#include "main_window/frm_main.h"
#include "platform/browser_module_posix.h"
#include "serial_link/sax_comm.h"
#include "tools/addresses.h"
#include "tools/browser_commands.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestBrowserCommands : public QObject
{
    Q_OBJECT

private slots:
    void eachCommandOpensANewWindow();
    void installedHelpStandsInForAMissingOne();
    void moduleLookupAndFailure();

private:
    FakeMessageBoxes m_boxes;
    FakeWorkingDirectory m_directory;
    FakeBrowserModule m_browsers;
    SaxComm m_comm { QProcessEnvironment() };
    frmMain m_window { m_comm, m_boxes };
    BrowserCommands m_commands { m_window, m_directory, m_browsers, m_boxes };
};

void TestBrowserCommands::eachCommandOpensANewWindow()
{
    // The server address takes the texts as they stand; the help page follows the current
    // directory, its address escaped so that it leads to the file itself.
    const QString server = "http://a b. 1.x/.?";
    setIpTexts(m_window, { "a b", " 1", "x/", "?" });
    m_window.menuItem("mnuWebBrowser")->trigger();
    for (const char* directory : { "/tmp/my a#1?b%", "/", "C:\\" }) {
        m_directory.path = directory;
        m_window.menuItem("HelpTopicsMenu")->trigger();
    }
    m_window.menuItem("mnuWebBrowser")->trigger();
    QCOMPARE(m_browsers.opened,
        QStringList({ server, "file:///tmp/my a%231%3Fb%25/help.htm", "file:///help.htm",
            "file:///C:\\/help.htm", server }));
    QCOMPARE(QUrl::fromUserInput(m_browsers.opened[1]).toLocalFile(), "/tmp/my a#1?b%/help.htm");
}

void TestBrowserCommands::installedHelpStandsInForAMissingOne()
{
    QTemporaryDir current;
    QTemporaryDir installed;
    FakeBrowserModule browsers;
    BrowserCommands commands(m_window, m_directory, browsers, m_boxes, installed.path());
    m_directory.path = current.path();
    commands.HelpTopics(); // neither folder has a help page: the current one stays
    QVERIFY(QFile(installed.filePath("help.htm")).open(QIODevice::WriteOnly));
    commands.HelpTopics();
    QVERIFY(QFile(current.filePath("help.htm")).open(QIODevice::WriteOnly));
    commands.HelpTopics();
    QCOMPARE(browsers.opened,
        QStringList({ ::helpAddress(current.path()), ::helpAddress(installed.path()),
            ::helpAddress(current.path()) }));
}

void TestBrowserCommands::moduleLookupAndFailure()
{
    // Installed: bin/../lib/zelvic; in the build tree: beside the program.
    QTemporaryDir dir;
    const QString installed = dir.filePath("lib/zelvic/libzelvic_browser.so");
    QCOMPARE(browserModulePath(dir.filePath("bin")), installed);
    QVERIFY(QFile(dir.filePath("libzelvic_browser.so")).open(QIODevice::WriteOnly));
    QCOMPARE(browserModulePath(dir.path()), dir.filePath("libzelvic_browser.so"));
    // A module that cannot be loaded is reported by each command.
    const Failure failure = PosixBrowserModule(m_boxes, installed).openWindow("http://127.0.0.1");
    QVERIFY(failure && failure->startsWith(installed));
    m_browsers.failure = failure;
    m_commands.WebBrowser();
    m_commands.HelpTopics();
    QCOMPARE(m_boxes.shown, QStringList(2, *failure));
}

QTEST_MAIN(TestBrowserCommands)
#include "test_browser_commands.moc"
