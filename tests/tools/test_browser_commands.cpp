#include "fakes/fake_browser_module.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_working_directory.h"
#include "main_window/frm_main.h"
#include "platform/browser_module_posix.h"
#include "serial_link/sax_comm.h"
#include "tools/addresses.h"
#include "tools/browser_commands.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

class TestBrowserCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void serverAddress_data();
    void serverAddress();
    void helpAddress_data();
    void helpAddress();
    void eachCommandOpensANewWindow();
    void helpFollowsTheCurrentDirectory();
    void moduleFailureIsReported();
    void moduleLookup();

private:
    FakeMessageBoxes m_boxes;
    FakeWorkingDirectory m_directory;
    FakeBrowserModule m_browsers;
    std::unique_ptr<SaxComm> m_comm;
    std::unique_ptr<frmMain> m_window;
    std::unique_ptr<BrowserCommands> m_commands;
};

void TestBrowserCommands::init()
{
    m_comm = std::make_unique<SaxComm>(QProcessEnvironment());
    m_window = std::make_unique<frmMain>(*m_comm, m_boxes);
    m_commands = std::make_unique<BrowserCommands>(*m_window, m_directory, m_browsers, m_boxes);
}

void TestBrowserCommands::cleanup()
{
    m_commands.reset();
    m_window.reset();
    m_comm.reset();
    m_boxes.shown.clear();
    m_browsers = FakeBrowserModule();
}

void TestBrowserCommands::serverAddress_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("address");
    QTest::newRow("address") << QStringList { "192", "168", "0", "10" } << "http://192.168.0.10";
    QTest::newRow("empty") << QStringList { "", "", "", "" } << "http://...";
    QTest::newRow("not numbers") << QStringList { "a b", " 1", "x/", "?" } << "http://a b. 1.x/.?";
}

void TestBrowserCommands::serverAddress()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, address);
    const QStringList boxes { "txtIpAddress", "txtIpAddress2", "txtIpAddress3", "txtIpAddress4" };
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        auto* box = m_window->findChild<QLineEdit*>(boxes[i]);
        const QSignalBlocker blocker(box);
        box->setText(texts[i]);
    }
    m_window->menuItem("mnuWebBrowser")->trigger();
    QCOMPARE(m_browsers.opened, QStringList { address });
    QVERIFY(m_boxes.shown.isEmpty());
}

void TestBrowserCommands::helpAddress_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("address");
    QTest::newRow("posix") << "/home/user/zelvic"
                           << "file:///home/user/zelvic/help.htm";
    QTest::newRow("root") << "/"
                          << "file:///help.htm";
    QTest::newRow("blank") << "/home/my files"
                           << "file:///home/my files/help.htm";
    QTest::newRow("address characters") << "/tmp/a#1?b%"
                                        << "file:///tmp/a%231%3Fb%25/help.htm";
    QTest::newRow("drive") << "C:\\Tools\\Terminal"
                           << "file:///C:\\Tools\\Terminal/help.htm";
    QTest::newRow("drive root") << "C:\\"
                                << "file:///C:\\/help.htm";
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
    m_directory.path = "/srv/terminal";
    m_window->menuItem("mnuWebBrowser")->trigger();
    m_window->menuItem("HelpTopicsMenu")->trigger();
    m_window->menuItem("mnuWebBrowser")->trigger();
    QCOMPARE(m_browsers.opened,
        QStringList({ "http://...", "file:///srv/terminal/help.htm", "http://..." }));
}

void TestBrowserCommands::helpFollowsTheCurrentDirectory()
{
    m_directory.path = "/a";
    m_commands->HelpTopics();
    QVERIFY(m_directory.setCurrent("/b"));
    m_commands->HelpTopics();
    QCOMPARE(m_browsers.opened, QStringList({ "file:///a/help.htm", "file:///b/help.htm" }));
}

void TestBrowserCommands::moduleFailureIsReported()
{
    m_browsers.failure = QString("Cannot load library libzelvic_browser.so");
    m_commands->WebBrowser();
    m_commands->HelpTopics();
    QCOMPARE(m_boxes.shown, QStringList(2, "Cannot load library libzelvic_browser.so"));

    // The real loader reports why a module cannot be loaded.
    QTemporaryDir dir;
    PosixBrowserModule missing(m_boxes, dir.filePath("libzelvic_browser.so"));
    const Failure failure = missing.openWindow("http://127.0.0.1");
    QVERIFY(failure);
    QVERIFY2(failure->contains("libzelvic_browser.so"), qPrintable(*failure));
}

void TestBrowserCommands::moduleLookup()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("bin"));
    const QString bin = dir.filePath("bin");
    // Installed: bin/../lib/zelvic.
    QCOMPARE(browserModulePath(bin), dir.filePath("lib/zelvic/libzelvic_browser.so"));
    // Build tree: beside the program.
    QFile module(dir.filePath("bin/libzelvic_browser.so"));
    QVERIFY(module.open(QIODevice::WriteOnly));
    QCOMPARE(browserModulePath(bin), module.fileName());
}

QTEST_MAIN(TestBrowserCommands)
#include "test_browser_commands.moc"
