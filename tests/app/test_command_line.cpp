#include "app/command_line_upload.h"
#include "testkit/lrzsz_receiver.h"
#include "testkit/pty_pair.h"
#include "windows/frm_about.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// `zelvic --upload` run as a user runs it, with no display, and the upload in-process where the
// senders' limits must be short. In arguments, "~" stands for a temporary folder holding
// "prepared.ini", a settings file, "random.bin" and "empty.ini".

namespace {

const QByteArray kCancel = QByteArray(8, '\x18') + QByteArray(10, '\b');

// Whole 128-byte blocks, so that XMODEM's padding adds nothing and the file compares exactly.
QByteArray settingsFile(qsizetype size)
{
    const QByteArray head = "[System]\r\nDHCP=0\r\nIP0=C0A8\r\nIP1=64C8\r\n[SMTP]\r\nsender=";
    return head + QByteArray(size - head.size() - 2, 'x') + "\r\n";
}

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void endsBeforeTransfer_data();
    void endsBeforeTransfer();
    void uploads_data();
    void uploads();
    void silentLine();
    void signalCancels_data();
    void signalCancels();

private:
    QStringList arguments(const QStringList& args) const;
    void start(QProcess& zelvic, const QStringList& args, const QProcessEnvironment& extra = {});
    Run run(const QStringList& args, const QProcessEnvironment& extra = {});

    QTemporaryDir m_dir;
};

void TestCommandLine::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QRandomGenerator generator(7);
    QByteArray random(3000, Qt::Uninitialized);
    for (char& c : random)
        c = char(generator.bounded(256));
    const QList<std::pair<QString, QByteArray>> files { { "prepared.ini", settingsFile(2048) },
        { "random.bin", random }, { "empty.ini", {} } };
    for (const auto& [name, content] : files) {
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
}

QStringList TestCommandLine::arguments(const QStringList& args) const
{
    QStringList result;
    for (const QString& argument : args)
        result << QString(argument).replace("~", m_dir.path());
    return result;
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
    zelvic.start(ZELVIC_PROGRAM, arguments(args));
}

Run TestCommandLine::run(const QStringList& args, const QProcessEnvironment& extra)
{
    QProcess zelvic;
    start(zelvic, args, extra);
    if (!zelvic.waitForFinished(90000) || zelvic.exitStatus() != QProcess::NormalExit)
        return {};
    return { zelvic.exitCode(), zelvic.readAllStandardOutput(), zelvic.readAllStandardError() };
}

void TestCommandLine::endsBeforeTransfer_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("out"); // a part of standard output; empty: none at all
    QTest::addColumn<QString>("err"); // a part of standard error; empty: a success
    const auto row = [](const char* tag, const QStringList& args, const QString& err) {
        QTest::newRow(tag) << args << QString() << err;
    };
    const QString version = QString::fromUtf16(frmAbout::kVersion);
    QTest::newRow("version") << QStringList { "--version" } << "zelvic " + version + "\n"
                             << "";
    QTest::newRow("help") << QStringList { "--help" } << "Exit status: 0"
                          << "";
    row("unknown option", { "--upload", "~/prepared.ini", "--baud" }, "Unknown option 'baud'");
    row("stray argument", { "--upload", "~/prepared.ini", "COM2" }, "Unexpected argument \"COM2\"");
    row("protocol not a number", { "--upload", "~/prepared.ini", "--protocol", "z" },
        "Protocol \"z\" is not a number");
    row("protocol unknown", { "--upload", "~/prepared.ini", "--protocol", "4" },
        "Protocol 4 is unknown");
    row("missing file", { "--upload", "~/missing.ini" },
        "\"~/missing.ini\", does not exist. Give the path");
    row("random bytes", { "--upload", "~/random.bin" },
        "\"~/random.bin\" is not a settings file: the terminal recognises no setting in it.");
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
}

void TestCommandLine::endsBeforeTransfer()
{
    QFETCH(QStringList, args);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const Run ran = run(args);
    QCOMPARE(ran.status, err.isEmpty() ? 0 : 2);
    QVERIFY2(out.isEmpty() ? ran.out.isEmpty() : ran.out.contains(out), qPrintable(ran.out));
    QVERIFY2(ran.err.contains(arguments({ err }).first()), qPrintable(ran.err));
}

void TestCommandLine::uploads_data()
{
    QTest::addColumn<QStringList>("receiver");
    QTest::addColumn<QStringList>("options"); // "@" stands for the receiver's device
    QTest::addColumn<QString>("portVariable"); // set to the receiver's device
    QTest::addColumn<QString>("protocol");
    QTest::newRow("XMODEM to a device path")
        << QStringList { "rx", "-b", "-c", "server.ini" }
        << QStringList { "--port", "@", "--protocol", "1", "--settings", "19200,n,8,2" } << ""
        << "XMODEM";
    QTest::newRow("YMODEM to COM2")
        << QStringList { "rb", "-b", "-y" } << QStringList { "--port", "COM2", "--protocol", "2" }
        << "ZELVIC_COM2"
        << "YMODEM";
    QTest::newRow("defaults: ZMODEM to COM1")
        << QStringList { "rz", "-b", "-y" } << QStringList {} << "ZELVIC_COM1"
        << "ZMODEM";
}

void TestCommandLine::uploads()
{
    QFETCH(QStringList, receiver);
    QFETCH(QStringList, options);
    QFETCH(QString, portVariable);
    QFETCH(QString, protocol);
    LrzszReceiver peer(receiver);
    QVERIFY(peer.isReady());
    options.replaceInStrings("@", peer.devicePath());
    QProcessEnvironment extra;
    if (!portVariable.isEmpty())
        extra.insert(portVariable, peer.devicePath());
    const Run ran = run(QStringList { "--upload", "~/prepared.ini" } + options, extra);
    QVERIFY2(ran.status == 0, qPrintable(ran.err));
    QVERIFY2(ran.err.contains("Sending server.ini (2048 bytes) with " + protocol + "\n")
            && ran.err.contains("\nCompleted: 2048 bytes in "),
        qPrintable(ran.err));
    QVERIFY2(
        ran.out.startsWith(arguments({ "~/prepared.ini: sent as server.ini, 2048 bytes, " }).first()
            + protocol + ", "),
        qPrintable(ran.out));
    QVERIFY(peer.waitForExit(5000));
    QCOMPARE(peer.received("server.ini"), settingsFile(2048));
}

void TestCommandLine::silentLine()
{
    PtyPair line; // nothing reads or answers at the far end
    QVERIFY(line.isReady());
    QProcessEnvironment environment;
    environment.insert("ZELVIC_COM1", line.endA());
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    CommandLineUpload upload({ m_dir.filePath("prepared.ini"), "COM1", "9600,n,8,1", 1 },
        { environment }, outStream, errStream, false, { 2, 200, 500 });
    QSignalSpy ended(&upload, &CommandLineUpload::ended);
    QVERIFY(upload.start());
    QVERIFY(ended.wait(20000));
    QCOMPARE(ended.first().first().value<UploadExit>(), UploadExit::Failed);
    QVERIFY2(err.endsWith("Failed: no answer\nCheck that the server is connected, switched on and "
                          "ready, then press Write again.\n"),
        qPrintable(err));
    QCOMPARE(out, QString());
}

void TestCommandLine::signalCancels_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
}

void TestCommandLine::signalCancels()
{
    QFETCH(int, signalNumber);
    // The test plays an XMODEM receiver that takes the first block, then goes quiet: the
    // transfer waits for its answer, however fast the pseudo-terminal is.
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
    const auto farReceives = [&](const QByteArray& answer, const auto& enough) {
        far.write(answer);
        while (!enough() && far.waitForReadyRead(10000))
            received += far.readAll();
        return enough();
    };
    QVERIFY2(errorShows("with XMODEM\n"), qPrintable(err));
    QVERIFY(farReceives("C", [&] { return received.size() >= 133; }));
    QVERIFY(farReceives("\x06", [&] { return received.size() >= 2 * 133; }));
    QVERIFY2(errorShows("128 of 2048 bytes"), qPrintable(err));

    QCOMPARE(::kill(pid_t(zelvic.processId()), signalNumber), 0);
    // The receiver is told.
    QVERIFY(farReceives({}, [&] { return received.endsWith(kCancel); }));
    QVERIFY(zelvic.waitForFinished(10000));
    err += zelvic.readAllStandardError();
    QCOMPARE(zelvic.exitStatus(), QProcess::NormalExit);
    QCOMPARE(zelvic.exitCode(), 1);
    QVERIFY2(err.endsWith("\nFailed: cancelled by signal\n"), qPrintable(err));
    QCOMPARE(zelvic.readAllStandardOutput(), QByteArray());
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
