#include "app/terminal.h"
#include "device_sim/device_state.h"
#include "device_sim/status_page.h"
#include "fakes/fake_device_choices.h"
#include "fakes/fake_file_dialogs.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_process_launcher.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_serial_port_list.h"
#include "fakes/fake_system_directory.h"
#include "platform/working_directory_posix.h"
#include "testkit/file_contents.h"
#include "windows/browser_module_posix.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

// The terminal and the simulated server wired together: settings typed into the main window,
// Write pressed, what the server received compared with what the terminal saved, and the
// server's page opened in the browser window; and the simulator's own reading of protocols,
// uploads and its status page.

namespace {

/// Waits until the simulator has printed a line matching the pattern, collecting what it printed
/// in output; gives the pattern's last capture, or the whole line when it has none, and nothing
/// when no line matched.
QString waitFor(QProcess& simulator, QString& output, const QString& pattern, int timeoutMs)
{
    QRegularExpressionMatch match;
    const auto printed = [&] {
        output += QString::fromLocal8Bit(simulator.readAllStandardOutput());
        match = QRegularExpression("(?m)" + pattern).match(output);
        return match.hasMatch() || simulator.state() == QProcess::NotRunning;
    };
    return QTest::qWaitFor(printed, timeoutMs) ? match.captured(match.lastCapturedIndex())
                                               : QString();
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void upload_data();
    void upload();
    void simulatorReadsAndShows();
};

void TestEndToEnd::upload_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<bool>("idle");
    QTest::newRow("plain") << 0 << false;
    QTest::newRow("XMODEM") << 1 << false;
    QTest::newRow("YMODEM") << 2 << false;
    QTest::newRow("ZMODEM, then the browser") << 3 << false;
    // Write pressed only after the receiver has given up waiting and been started again; it
    // gives up after a second here instead of the minutes it waits by itself.
    QTest::newRow("XMODEM, after the receiver gave up") << 1 << true;
    QTest::newRow("YMODEM, after the receiver gave up") << 2 << true;
    QTest::newRow("ZMODEM, after the receiver gave up") << 3 << true;
}

void TestEndToEnd::upload()
{
    QFETCH(int, protocol);
    QFETCH(bool, idle);
    QTemporaryDir kept;
    // zelvic-device-sim as a child process, ended with the object.
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList options { "--protocol", QString::number(protocol), "--keep", kept.path() };
    if (idle)
        options.append({ "--receiver-timeout", "1" });
    server.start(ZELVIC_DEVICE_SIM, options);
    QString output;
    const QString page = waitFor(server, output, "^status page: (\\S+)", 10000);
    const QString com1 = waitFor(server, output, "^COM1: (\\S+)", 0);
    QVERIFY2(!com1.isEmpty(), qPrintable(output));

    // The terminal on fakes, except for the serial port, the working folder and the browser
    // module.
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    PosixWorkingDirectory workingDirectory;
    FakeSystemDirectory systemDirectory;
    FakeProcessLauncher launcher;
    FakeRegistry registry;
    PosixBrowserModule browsers { boxes, ZELVIC_BROWSER_MODULE };
    FakeSerialPortList serialPorts;
    FakeDeviceChoices deviceChoices;
    QProcessEnvironment environment;
    environment.insert("ZELVIC_COM1", com1);
    Terminal terminal(TerminalPlatform { boxes, dialogs, workingDirectory, systemDirectory,
                          launcher, registry, browsers, serialPorts, deviceChoices },
        environment);
    terminal.start();
    QVERIFY(QTest::qWaitForWindowActive(&terminal.mainWindow()));
    terminal.comm().setStartupOption(protocol);

    // Everything typed as a user would, from the DHCP box onwards, each entry key by key to
    // whichever box has the focus as the entry rules move it on, then Tab to the next box. The
    // server's address, 127.0.0.1, is also where the browser goes.
    for (const char* keys : { " ", "1270", "0", "1", "00e04c6801fa", "bench@example.com",
             "server@example.com", "mail.example.com", "192168001010", "", "admin", "s3cret" }) {
        for (const QChar key : QString(keys))
            QTest::keyClicks(QApplication::focusWidget(), QString(key));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }

    if (idle) {
        QVERIFY2(!waitFor(server, output, "^receiver: \\S+ ready again$", 10000).isEmpty(),
            qPrintable(output));
        QVERIFY2(output.contains(" gave up after "), qPrintable(output));
    }
    const QString saved = kept.filePath("server.ini");
    dialogs.answers.append(saved);
    QTest::mouseClick(terminal.mainWindow().writeButton(), Qt::LeftButton);

    QVERIFY2(!waitFor(server, output, "^upload: .* applied$", 60000).isEmpty(), qPrintable(output));
    const QByteArray written = fileContents(saved);
    QVERIFY(written.startsWith("[System]\r\nDHCP=0\r\nIP0=7F00\r\nIP1=0001\r\nMAC0=00E0\r\n"));
    QCOMPARE(fileContents(kept.filePath("upload-1.ini")), written);

    // A Write cancelled at the receiver's first answer to what the terminal sent, before the
    // sender takes it: the receiver fails, and neither its cancel nor the terminal's may stop
    // the next Write.
    if (protocol != 0) {
        QSerialPort& port = terminal.comm().port();
        QObject watching; // the port is watched until the block ends
        bool sent = false;
        connect(&port, &QIODevice::bytesWritten, &watching, [&] { sent = true; });
        connect(&port, &QIODevice::readyRead, &watching, [&] {
            if (sent && terminal.comm().transferRunning())
                terminal.comm().abortTransfer("cancelled by user");
        });
        QTest::mouseClick(terminal.mainWindow().writeButton(), Qt::LeftButton);
        output.clear();
        QVERIFY2(!waitFor(server, output, "^upload: .* failed: .*$", 30000).isEmpty(),
            qPrintable(output));
    }

    // Written again the moment the server has taken the last upload or failed: its call is
    // answered well within the terminal's reply time.
    terminal.mainWindow().applySetting({ "txtPassword", QString("again") });
    QTest::mouseClick(terminal.mainWindow().writeButton(), Qt::LeftButton);
    output.clear();
    QVERIFY2(!waitFor(server, output, "^upload: .* applied$", 8000).isEmpty(), qPrintable(output));
    QVERIFY(fileContents(kept.filePath("upload-2.ini"))
                .endsWith("Username=admin\r\nPassword=again\r\n"));

    QCOMPARE(boxes.shown, QStringList());
    // The browser window is opened once, after the last upload.
    if (protocol != 3)
        return;
    // The address has no port: the page must be on port 80.
    if (page != "http://127.0.0.1:80/")
        QSKIP("port 80 on 127.0.0.1 is taken or may not be bound here");
    terminal.mainWindow().menu().mnuWebBrowser->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(
        QApplication::activeWindow() ? QApplication::activeWindow()->windowTitle() : QString(),
        statusPageTitle(), 60000);
}

void TestEndToEnd::simulatorReadsAndShows()
{
    QVERIFY(protocolFromText("XMODEM") == UploadProtocol::Xmodem);
    QVERIFY(!protocolFromText("kermit"));
    for (const QByteArray& bytes :
        { QByteArray("\x7f\x45LF\x02\x01\x01\x00\x00\x00", 10), QByteArray("hello, world\r\n") }) {
        const Result<ServerSettings> parsed = parseUploadedSettings(bytes);
        QVERIFY2(!parsed.ok() && !parsed.error().isEmpty(), bytes.constData());
    }

    DeviceState state;
    QVERIFY(renderStatusPage(state).contains("No settings have been uploaded yet"));
    const Result<ServerSettings> parsed
        = parseUploadedSettings("[System]\r\nDHCP=0\r\nIP0=C0A8\r\nIP1=64C8\r\nMAC0=00E0\r\n"
                                "MAC1=4C68\r\nMAC2=01FA\r\n[SMTP]\r\nsender=<a@b.c>\r\n"
                                "[FTP]\r\nPassword=s3cret\r\n");
    QVERIFY2(parsed.ok(), qPrintable(parsed.ok() ? QString() : parsed.error()));
    state.settings = parsed.value();
    state.lastUpload = QDateTime(QDate(2026, 12, 6), QTime(20, 21, 5));
    state.uploads = 2;
    const QString page = renderStatusPage(state);
    for (const QString& shown :
        { "<title>" + statusPageTitle() + "</title>", QString("<td>192.168.100.200</td>"),
            QString("<td>00:E0:4C:68:01:FA</td>"), QString("<td>&lt;a@b.c&gt;</td>"),
            QString("<td>********</td>"), QString("2026-12-06T20:21:05 (2 in all)") })
        QVERIFY2(page.contains(shown), qPrintable(shown));
    QVERIFY(!page.contains("s3cret"));
}

QTEST_MAIN(TestEndToEnd)
#include "test_end_to_end.moc"
