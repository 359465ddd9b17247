#include "testkit/lrzsz_receiver.h"
#include "testkit/pty_pair.h"
#include "windows/frm_about.h"

#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>

// `zelvic --upload` run as a user runs it, with no display. In arguments and in what is shown, "~"
// stands for a temporary folder holding "prepared.ini", a settings file, "program.bin" and
// "empty.ini".

namespace {

const QByteArray kCancel = QByteArray(8, '\x18') + QByteArray(10, '\b');

// Whole 128-byte blocks, so that XMODEM's padding adds nothing and the file compares exactly.
QByteArray settingsFile(qsizetype size)
{
    const QByteArray head = "[System]\r\nDHCP=0\r\nIP0=C0A8\r\nIP1=64C8\r\n[SMTP]\r\nsender=";
    return head + QByteArray(size - head.size() - 2, 'x') + "\r\n";
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void runs_data();
    void runs();
    void fails_data();
    void fails();

private:
    void start(QProcess& zelvic, const QStringList& args, const QProcessEnvironment& extra = {});

    QTemporaryDir m_dir;
};

void TestCommandLine::initTestCase()
{
    // The start of a program, as a file picked by mistake begins.
    const QByteArray binary(
        "\x7f\x45LF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00", 18);
    const QList<std::pair<QString, QByteArray>> files { { "prepared.ini", settingsFile(2048) },
        { "program.bin", binary }, { "empty.ini", {} } };
    for (const auto& [name, content] : files) {
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
}

void TestCommandLine::start(
    QProcess& zelvic, const QStringList& args, const QProcessEnvironment& extra)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(name);
    // Never the machine's own ports, nor the user's choice of device.
    environment.insert("XDG_CONFIG_HOME", m_dir.path());
    environment.insert("ZELVIC_COM1", m_dir.filePath("no-device"));
    environment.insert("ZELVIC_COM2", m_dir.filePath("no-device"));
    environment.insert(extra);
    zelvic.setProcessEnvironment(environment);
    zelvic.start(ZELVIC_PROGRAM, QStringList(args).replaceInStrings("~", m_dir.path()));
}

void TestCommandLine::runs_data()
{
    QTest::addColumn<QStringList>("args"); // "@" stands for the receiver's device
    QTest::addColumn<QString>("err"); // a part of standard error
    // Standard output begins with out after an upload and holds it otherwise; empty: none, as
    // when the command is refused.
    QTest::addColumn<QString>("out");
    QTest::addColumn<QStringList>("receiver"); // the lrzsz receiver at the far end; empty: none
    QTest::addColumn<QString>("portVariable"); // set to the receiver's device
    const auto row
        = [](const char* tag, const QStringList& args, const QString& err, const QString& out = {},
              const QStringList& receiver = {}, const QString& portVariable = {}) {
              QTest::newRow(tag) << args << err << out << receiver << portVariable;
          };
    row("version", { "--version" }, "", "zelvic " + QString::fromUtf16(frmAbout::kVersion) + "\n");
    row("help", { "--help" }, "", "Exit status: 0");
    row("unknown option", { "--upload", "~/prepared.ini", "--baud" }, "Unknown option 'baud'");
    row("stray argument", { "--upload", "~/prepared.ini", "COM2" }, "Unexpected argument \"COM2\"");
    row("protocol not a number", { "--upload", "~/prepared.ini", "--protocol", "z" },
        "Protocol \"z\" is not a number");
    row("protocol unknown", { "--upload", "~/prepared.ini", "--protocol", "4" },
        "Protocol 4 is unknown");
    row("missing file", { "--upload", "~/missing.ini" },
        "\"~/missing.ini\", does not exist. Give the path");
    row("a program picked by mistake", { "--upload", "~/program.bin" },
        "\"~/program.bin\" is not a settings file: the terminal recognises no setting in it.");
    row("empty file", { "--upload", "~/empty.ini" },
        "is not a settings file: The settings file is empty.");
    row("illegal settings string", { "--upload", "~/prepared.ini", "--settings", "9600,n,8,3" },
        "Illegal SETTINGS string \"9600,n,8,3\"");
    row("missing device, COM2 as the environment maps it",
        { "--upload", "~/prepared.ini", "--port", "COM2" },
        "Cannot open serial port COM2 (~/no-device, set by ZELVIC_COM2): there is no such "
        "device. Connect the cable or adapter, or set ZELVIC_COM2 to another device.");
    row("missing device path", { "--upload", "~/prepared.ini", "--port", "~/tty9" },
        "Cannot open serial port ~/tty9: there is no such device. Connect the cable or adapter.\n");
    const QString sent = "~/prepared.ini: sent as server.ini, 2048 bytes, ";
    row("XMODEM to a device path",
        { "--upload", "~/prepared.ini", "--port", "@", "--protocol", "1", "--settings",
            "19200,n,8,2" },
        "Sending server.ini (2048 bytes) with XMODEM\n", sent + "XMODEM, ",
        { "rx", "-b", "-c", "server.ini" });
    row("YMODEM to COM2", { "--upload", "~/prepared.ini", "--port", "COM2", "--protocol", "2" },
        "Sending server.ini (2048 bytes) with YMODEM\n", sent + "YMODEM, ", { "rb", "-b", "-y" },
        "ZELVIC_COM2");
    row("defaults: ZMODEM to COM1", { "--upload", "~/prepared.ini" },
        "Sending server.ini (2048 bytes) with ZMODEM\n", sent + "ZMODEM, ", { "rz", "-b", "-y" },
        "ZELVIC_COM1");
}

void TestCommandLine::runs()
{
    QFETCH(QStringList, args);
    QFETCH(QString, err);
    QFETCH(QString, out);
    QFETCH(QStringList, receiver);
    QFETCH(QString, portVariable);
    std::optional<LrzszReceiver> peer;
    QProcessEnvironment extra;
    if (!receiver.isEmpty()) {
        peer.emplace(receiver);
        QVERIFY(peer->isReady());
        args.replaceInStrings("@", peer->devicePath());
        if (!portVariable.isEmpty())
            extra.insert(portVariable, peer->devicePath());
    }
    QProcess zelvic;
    start(zelvic, args, extra);
    QVERIFY(zelvic.waitForFinished(90000));
    QCOMPARE(zelvic.exitStatus(), QProcess::NormalExit);
    QCOMPARE(zelvic.exitCode(), out.isEmpty() ? 2 : 0);
    const QString shownOut = zelvic.readAllStandardOutput();
    const QString shownErr = zelvic.readAllStandardError();
    out.replace("~", m_dir.path());
    QVERIFY2(out.isEmpty() ? shownOut.isEmpty()
                           : (peer ? shownOut.startsWith(out) : shownOut.contains(out)),
        qPrintable(shownOut));
    QVERIFY2(shownErr.contains(err.replace("~", m_dir.path())), qPrintable(shownErr));
    if (!peer)
        return;
    QVERIFY2(shownErr.contains("\nCompleted: 2048 bytes in "), qPrintable(shownErr));
    QVERIFY(peer->waitForExit(5000));
    QCOMPARE(peer->received("server.ini"), settingsFile(2048));
}

void TestCommandLine::fails_data()
{
    QTest::addColumn<int>("signalNumber"); // 0: none, the receiver refuses every block instead
    QTest::addColumn<QString>("end"); // the end of standard error
    QTest::newRow("SIGTERM") << SIGTERM << "\nFailed: cancelled by signal\n";
    QTest::newRow("SIGINT") << SIGINT << "\nFailed: cancelled by signal\n";
    // A failure of the transfer itself comes with what the user can do about it.
    QTest::newRow("refused") << 0
                             << "\nFailed: too many errors\nCheck that the server is connected, "
                                "switched on and ready, then press Write again.\n";
}

void TestCommandLine::fails()
{
    QFETCH(int, signalNumber);
    QFETCH(QString, end);
    // The test plays an XMODEM receiver that takes the first block, then goes quiet or refuses
    // the second: the transfer waits for its answer, however fast the pseudo-terminal is.
    PtyPair line;
    QVERIFY(line.isReady());
    QSerialPort far(line.endB());
    QVERIFY(far.open(QIODevice::ReadWrite));
    QProcess zelvic;
    start(zelvic, { "--upload", "~/prepared.ini", "--port", line.endA(), "--protocol", "1" });
    zelvic.setReadChannel(QProcess::StandardError);
    QString err;
    const auto errorShows = [&](const QString& part) {
        while (!err.contains(part) && zelvic.waitForReadyRead(10000))
            err += zelvic.readAllStandardError();
        return err.contains(part);
    };
    QByteArray received;
    // The answer goes out, then the far end reads until the receiver is told to stop or the
    // given number of bytes has arrived.
    const auto farReceives = [&](const QByteArray& answer, qsizetype size) {
        far.write(answer);
        const auto enough = [&] { return received.endsWith(kCancel) || received.size() >= size; };
        while (!enough() && far.waitForReadyRead(10000))
            received += far.readAll();
        return enough();
    };
    QVERIFY2(errorShows("with XMODEM\n"), qPrintable(err));
    QVERIFY(farReceives("C", 133));
    QVERIFY(farReceives("\x06", 2 * 133));
    QVERIFY2(errorShows("128 of 2048 bytes"), qPrintable(err));

    if (signalNumber != 0)
        QCOMPARE(::kill(pid_t(zelvic.processId()), signalNumber), 0);
    // The receiver is told.
    while (!received.endsWith(kCancel))
        QVERIFY(farReceives(signalNumber != 0 ? "" : "\x15", received.size() + 133));
    QVERIFY(zelvic.waitForFinished(10000));
    err += zelvic.readAllStandardError();
    QCOMPARE(zelvic.exitStatus(), QProcess::NormalExit);
    QCOMPARE(zelvic.exitCode(), 1);
    QVERIFY2(err.endsWith(end), qPrintable(err));
    QCOMPARE(zelvic.readAllStandardOutput(), QByteArray());
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
