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
    void init()
    {
        m_browsers = FakeBrowserModule();
        m_boxes.shown.clear();
    }
    void serverAddress_data();
    void serverAddress();
    void helpAddress_data();
    void helpAddress();
    void eachCommandOpensANewWindow();
    void moduleFailureIsReported();
    void installedHelpStandsInForAMissingOne();
    void moduleLookup();

private:
    FakeMessageBoxes m_boxes;
    FakeWorkingDirectory m_directory;
    FakeBrowserModule m_browsers;
    SaxComm m_comm { QProcessEnvironment() };
    frmMain m_window { m_comm, m_boxes };
    BrowserCommands m_commands { m_window, m_directory, m_browsers, m_boxes };
};

void TestBrowserCommands::serverAddress_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("address");
    QTest::newRow("address") << QStringList { "192", "168", "0", "10" } << "http://192.168.0.10";
    QTest::newRow("not numbers") << QStringList { "a b", " 1", "x/", "?" } << "http://a b. 1.x/.?";
}

void TestBrowserCommands::serverAddress()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, address);
    setIpTexts(m_window, texts);
    m_window.menuItem("mnuWebBrowser")->trigger();
    QCOMPARE(m_browsers.opened, QStringList { address });
}

void TestBrowserCommands::helpAddress_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("address");
    const auto row = [](const char* tag, const char* directory, const char* address) {
        QTest::newRow(tag) << QString(directory) << QString(address);
    };
    row("posix", "/home/user/zelvic", "file:///home/user/zelvic/help.htm");
    row("root", "/", "file:///help.htm");
    row("blanks and address characters", "/tmp/my a#1?b%", "file:///tmp/my a%231%3Fb%25/help.htm");
    row("drive root", "C:\\", "file:///C:\\/help.htm");
}

void TestBrowserCommands::helpAddress()
{
    QFETCH(QString, directory);
    QFETCH(QString, address);
    QCOMPARE(::helpAddress(directory), address);
    // A POSIX address must lead the browser to the file itself.
    if (directory.startsWith('/'))
        QCOMPARE(QUrl::fromUserInput(address).toLocalFile(), QDir(directory).filePath("help.htm"));
}

void TestBrowserCommands::eachCommandOpensANewWindow()
{
    setIpTexts(m_window, { "", "", "", "" });
    m_directory.path = "/srv/terminal";
    m_window.menuItem("mnuWebBrowser")->trigger();
    m_window.menuItem("HelpTopicsMenu")->trigger();
    // The help page follows the current directory.
    QVERIFY(m_directory.setCurrent("/b"));
    m_window.menuItem("HelpTopicsMenu")->trigger();
    m_window.menuItem("mnuWebBrowser")->trigger();
    QCOMPARE(m_browsers.opened,
        QStringList(
            { "http://...", "file:///srv/terminal/help.htm", "file:///b/help.htm", "http://..." }));
    QVERIFY(m_boxes.shown.isEmpty());
}

void TestBrowserCommands::installedHelpStandsInForAMissingOne()
{
    QTemporaryDir current;
    QTemporaryDir installed;
    const auto addHelp = [](const QTemporaryDir& dir) {
        QFile page(dir.filePath("help.htm"));
        QVERIFY(page.open(QIODevice::WriteOnly));
    };
    BrowserCommands commands(m_window, m_directory, m_browsers, m_boxes, installed.path());
    m_directory.path = current.path();
    commands.HelpTopics(); // neither folder has a help page: the current one stays
    addHelp(installed);
    commands.HelpTopics();
    addHelp(current);
    commands.HelpTopics();
    QCOMPARE(m_browsers.opened,
        QStringList({ ::helpAddress(current.path()), ::helpAddress(installed.path()),
            ::helpAddress(current.path()) }));
}

void TestBrowserCommands::moduleFailureIsReported()
{
    QTemporaryDir dir;
    PosixBrowserModule missing(m_boxes, dir.filePath("libzelvic_browser.so"));
    const Failure failure = missing.openWindow("http://127.0.0.1");
    QVERIFY(failure && failure->startsWith(dir.filePath("libzelvic_browser.so")));
    m_browsers.failure = failure;
    m_commands.WebBrowser();
    m_commands.HelpTopics();
    QCOMPARE(m_boxes.shown, QStringList(2, *failure));
}

void TestBrowserCommands::moduleLookup()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("bin"));
    // Installed: bin/../lib/zelvic; in the build tree: beside the program.
    QCOMPARE(
        browserModulePath(dir.filePath("bin")), dir.filePath("lib/zelvic/libzelvic_browser.so"));
    QFile module(dir.filePath("bin/libzelvic_browser.so"));
    QVERIFY(module.open(QIODevice::WriteOnly));
    QCOMPARE(browserModulePath(dir.filePath("bin")), module.fileName());
}

QTEST_MAIN(TestBrowserCommands)
#include "test_browser_commands.moc"
