// The terminal and the simulated server wired together: settings typed into the main window,
// Write pressed, and what the server received compared with what the terminal saved.

#include "app/terminal.h"
#include "device_sim/status_page.h"
#include "fakes/fake_file_dialogs.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_process_launcher.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_system_directory.h"
#include "platform/browser_module_posix.h"
#include "platform/working_directory_posix.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr int kUploadTimeoutMs = 60000;

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// zelvic-device-sim as a child process, with what it printed.
class Simulator
{
public:
    bool start(const QStringList& arguments)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(ZELVIC_DEVICE_SIM, arguments);
        return waitFor(QRegularExpression("^status page: (.*)$"), 10000, &m_page)
            && waitFor(QRegularExpression("^COM1: (.*)$"), 0, &m_com1);
    }

    ~Simulator()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    /// Waits until the simulator has printed a line matching the pattern; its first capture
    /// goes to captured.
    bool waitFor(const QRegularExpression& pattern, int timeoutMs, QString* captured = nullptr)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            while (m_process.canReadLine())
                m_lines.append(QString::fromLocal8Bit(m_process.readLine()).trimmed());
            for (const QString& line : std::as_const(m_lines)) {
                const QRegularExpressionMatch match = pattern.match(line);
                if (match.hasMatch()) {
                    if (captured)
                        *captured = match.captured(1);
                    return true;
                }
            }
            if (timer.elapsed() > timeoutMs || m_process.state() == QProcess::NotRunning)
                return false;
            QTest::qWait(20);
        }
    }

    QString com1() const { return m_com1; }
    QString page() const { return m_page; }
    QString output() const { return m_lines.join('\n'); }

private:
    QProcess m_process;
    QStringList m_lines;
    QString m_com1;
    QString m_page;
};

/// The terminal on fakes, except for the serial port, the working folder and the browser module.
struct TerminalUnderTest
{
    explicit TerminalUnderTest(const QString& com1)
    {
        QProcessEnvironment environment;
        environment.insert("ZELVIC_COM1", com1);
        terminal = std::make_unique<Terminal>(TerminalPlatform { boxes, dialogs, workingDirectory,
                                                  systemDirectory, launcher, registry, browsers },
            environment);
        terminal->start();
    }

    // Key by key to whichever box has the focus, as the entry rules move it on.
    void type(const QString& keys)
    {
        for (const QChar key : keys)
            QTest::keyClicks(QApplication::focusWidget(), QString(key));
    }
    void tab() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); }

    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    PosixWorkingDirectory workingDirectory;
    FakeSystemDirectory systemDirectory;
    FakeProcessLauncher launcher;
    FakeRegistry registry;
    PosixBrowserModule browsers { boxes, ZELVIC_BROWSER_MODULE };
    std::unique_ptr<Terminal> terminal;
};

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void upload_data();
    void upload();
    void browserShowsTheServersPage();
};

void TestEndToEnd::upload_data()
{
    QTest::addColumn<int>("protocol");
    QTest::newRow("plain") << 0;
    QTest::newRow("XMODEM") << 1;
    QTest::newRow("YMODEM") << 2;
    QTest::newRow("ZMODEM") << 3;
}

void TestEndToEnd::upload()
{
    QFETCH(int, protocol);
    QTemporaryDir work;
    QTemporaryDir kept;
    Simulator server;
    QVERIFY(server.start(
        { "--protocol", QString::number(protocol), "--http-port", "0", "--keep", kept.path() }));

    TerminalUnderTest t(server.com1());
    QVERIFY(QTest::qWaitForWindowActive(&t.terminal->mainWindow()));
    QVERIFY(t.terminal->comm().portOpen());
    t.terminal->comm().setStartupOption(protocol);

    // Everything typed as a user would, from the DHCP box onwards.
    t.type(" ");
    t.tab();
    t.type("192168100200");
    t.tab();
    t.type("00e04c6801fa");
    t.tab();
    t.type("bench@example.com");
    t.tab();
    t.type("server@example.com");
    t.tab();
    t.type("mail.example.com");
    t.tab();
    t.type("192168001010");
    t.tab();
    t.tab();
    t.type("admin");
    t.tab();
    t.type("s3cret");

    const QString saved = work.filePath("server.ini");
    t.dialogs.answers.append(saved);
    QTest::mouseClick(t.terminal->mainWindow().writeButton(), Qt::LeftButton);

    QVERIFY2(server.waitFor(QRegularExpression("^upload: .* applied$"), kUploadTimeoutMs),
        qPrintable(server.output()));
    QCOMPARE(t.boxes.shown, QStringList());
    const QByteArray written = contents(saved);
    QVERIFY(written.startsWith("[System]\r\nDHCP=0\r\nIP0=C0A8\r\nIP1=64C8\r\nMAC0=00E0\r\n"));
    QVERIFY(written.endsWith("Username=admin\r\nPassword=s3cret\r\n"));
    QCOMPARE(contents(kept.filePath("upload-1.ini")), written);
}

void TestEndToEnd::browserShowsTheServersPage()
{
    // The server's address comes from the IP boxes, with no port: the page must be on port 80.
    Simulator server;
    QVERIFY(server.start({}));
    if (server.page() != "http://127.0.0.1:80/")
        QSKIP("port 80 on 127.0.0.1 is taken or may not be bound here");

    TerminalUnderTest t(server.com1());
    QVERIFY(QTest::qWaitForWindowActive(&t.terminal->mainWindow()));
    t.type(" ");
    t.tab();
    t.type("1270");
    t.tab();
    t.type("0");
    t.tab();
    t.type("1");
    t.terminal->mainWindow().menuItem("mnuWebBrowser")->trigger();

    QWidget* browser = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((browser =
                                     [] {
                                         for (QWidget* w : QApplication::topLevelWidgets()) {
                                             if (w->objectName() == "frmBrowser")
                                                 return w;
                                         }
                                         return static_cast<QWidget*>(nullptr);
                                     }()),
        10000);
    QTRY_COMPARE_WITH_TIMEOUT(browser->windowTitle(), statusPageTitle(), kUploadTimeoutMs);
    QCOMPARE(t.boxes.shown, QStringList());
}

QTEST_MAIN(TestEndToEnd)
#include "test_end_to_end.moc"
