// Faults of the serial port as the whole terminal meets them: the far end closing or the device
// vanishing in the middle of an upload, and a port that is missing, held by another program or
// not permitted at start-up. The terminal runs in a child process (this program started with
// --terminal) so that the test sees it stay alive, can start it as another user and can hold
// its port from a third process; the test plays the line, the simulated server and the others.

#include "app/terminal.h"
#include "fakes/fake_browser_module.h"
#include "fakes/fake_file_dialogs.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_process_launcher.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_system_directory.h"
#include "platform/working_directory_posix.h"
#include "serial_link/frm_sax_comm.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// ---- The terminal's side: the child process ----

/// Pseudo-terminals this process has open beyond its standard channels: what the port-open
/// state must agree with.
int pseudoTerminalsHeld()
{
    int held = 0;
    for (const QString& fd : QDir("/proc/self/fd").entryList(QDir::Files | QDir::System)) {
        struct stat info
        {
        };
        if (fd.toInt() > 2 && ::fstat(fd.toInt(), &info) == 0 && S_ISCHR(info.st_mode)
            && major(info.st_rdev) >= 136 && major(info.st_rdev) <= 143)
            ++held;
    }
    return held;
}

/// Takes commands on its standard input and answers each with one line of JSON: the messages
/// shown since the last answer, the port-open state, the pseudo-terminals held and, after an
/// upload, its outcome and the status window's notice.
int runTerminal(int argc, char* argv[])
{
    QApplication app(argc, argv);
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    PosixWorkingDirectory workingDirectory;
    FakeSystemDirectory systemDirectory;
    FakeProcessLauncher launcher;
    FakeRegistry registry;
    FakeBrowserModule browsers;
    Terminal terminal(
        { boxes, dialogs, workingDirectory, systemDirectory, launcher, registry, browsers });
    SaxComm& comm = terminal.comm();

    const auto answer = [&](const char* step, const QString& outcome = {}) {
        const QJsonObject report { { "step", step },
            { "boxes", QJsonArray::fromStringList(boxes.shown) }, { "open", comm.portOpen() },
            { "held", pseudoTerminalsHeld() }, { "outcome", outcome },
            { "notice", comm.statusWindow() ? comm.statusWindow()->text("notice") : QString() } };
        std::printf("%s\n", QJsonDocument(report).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
        boxes.shown.clear();
    };
    // Tells the test once an upload is well under way, so that it can strike in the middle.
    qint64 written = 0;
    QObject::connect(&comm.port(), &QIODevice::bytesWritten, [&](qint64 bytes) {
        if (written < 65536 && (written += bytes) >= 65536)
            answer("sending");
    });
    QObject::connect(&comm, &SaxComm::transferFinished,
        [&](bool, const QString& outcome) { answer("upload", outcome); });

    QByteArray input;
    QSocketNotifier commands(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&commands, &QSocketNotifier::activated, [&] {
        char chunk[256];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0)
            QApplication::quit();
        input.append(chunk, std::max<ssize_t>(n, 0));
        for (qsizetype end; (end = input.indexOf('\n')) >= 0; input.remove(0, end + 1)) {
            const QList<QByteArray> words = input.left(end).split(' ');
            if (words.first() == "write") {
                // Writes the settings to the named file and sends server.ini, as Write does.
                terminal.mainWindow().setCurrentFileName(QDir::current().filePath(words.last()));
                written = 0;
                terminal.mainWindow().writeButton()->click();
                if (!comm.transferRunning())
                    answer("write");
            } else if (words.first() == "reopen") {
                // Apply in the port settings dialog, which reopens a closed port.
                QTimer::singleShot(0, [] {
                    QWidget* dialog = QApplication::activeModalWidget();
                    dialog->findChild<QPushButton*>("cmdApply")->click();
                    if (dialog->isVisible())
                        dialog->close();
                });
                terminal.mainWindow().menuItem("RS232Menu")->trigger();
                answer("reopen");
            }
        }
    });
    terminal.start();
    answer("start");
    return QApplication::exec();
}

// ---- The test's side ----

/// A pseudo-terminal pair made by socat: the terminal's port at port(), the server's end at
/// far(). Cutting it kills socat as an unplugged adapter goes: the device goes, the link stays.
class Line
{
public:
    ~Line() { cut(); }

    bool up()
    {
        QFile::remove(port());
        QFile::remove(far());
        m_socat.start("socat", { "pty,raw,echo=0,link=" + port(), "pty,raw,echo=0,link=" + far() });
        return QTest::qWaitFor([&] { return QFile::exists(port()) && QFile::exists(far()); });
    }
    void cut()
    {
        if (m_socat.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_socat.processId()), SIGKILL);
        m_socat.waitForFinished();
    }
    // A cable loses what is sent to a device that is switched off; the pseudo-terminals keep
    // it for whoever opens the far end next: it is dropped here.
    void dropBacklog()
    {
        const int far
            = ::open(QFile::encodeName(this->far()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        char chunk[4096];
        for (QDeadlineTimer quiet(300); !quiet.hasExpired();)
            if (::read(far, chunk, sizeof chunk) > 0)
                quiet.setRemainingTime(300);
        ::close(far);
    }
    QString port() const { return m_dir.filePath("port"); }
    QString far() const { return m_dir.filePath("far"); }
    QString device() const { return QFileInfo(port()).canonicalFilePath(); }

private:
    QTemporaryDir m_dir;
    QProcess m_socat;
};

/// A child process that prints lines: the simulated server, another program, the terminal.
class Child
{
public:
    ~Child() { stop(); }
    void start(const QString& program, const QStringList& arguments,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
        const QString& folder = {})
    {
        m_output.clear();
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(folder);
        m_process.start(program, arguments);
    }
    void stop()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool running() const { return m_process.state() == QProcess::Running; }
    /// The first line after those already taken that matches the pattern; empty when none
    /// comes in time.
    QString waitFor(const QString& pattern, int timeoutMs = 30000)
    {
        const QRegularExpression wanted("^" + pattern);
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            for (qsizetype end; (end = m_output.indexOf('\n')) >= 0;) {
                const QString line = QString::fromUtf8(m_output.left(end));
                m_output.remove(0, end + 1);
                if (wanted.match(line).hasMatch())
                    return line;
            }
            if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime())))
                return {};
            m_output += m_process.readAllStandardOutput();
        }
    }
    /// One command to the terminal and its answer.
    QJsonObject command(const QByteArray& line, int timeoutMs = 30000)
    {
        m_process.write(line + "\n");
        return next(timeoutMs);
    }
    QJsonObject next(int timeoutMs = 30000)
    {
        return QJsonDocument::fromJson(waitFor("\\{", timeoutMs).toUtf8()).object();
    }

private:
    QProcess m_process;
    QByteArray m_output;
};

/// The terminal in a child process with COM1 at the device, working in the folder; as the
/// unprivileged user "nobody" when asked (and when this test may switch users).
void startTerminal(Child& terminal, const QString& device, const QString& folder, bool asNobody)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ZELVIC_COM1", device);
    environment.insert("XDG_DATA_HOME", folder);
    QStringList arguments { QCoreApplication::applicationFilePath(), "--terminal" };
    if (asNobody && ::geteuid() == 0)
        arguments = QStringList { "--reuid=65534", "--regid=65534", "--clear-groups" } + arguments;
    const QString program = arguments.size() > 2 ? "setpriv" : arguments.takeFirst();
    terminal.start(program, arguments, environment, folder);
}

// How the port stands, by the terminal's word and by its descriptors, and the messages shown.
QString seen(const QJsonObject& report)
{
    QStringList boxes;
    for (const QJsonValue box : report["boxes"].toArray())
        boxes.append(box.toString());
    return QString("%1 (%2 held) %3")
        .arg(report["open"].toBool() ? "open" : "closed")
        .arg(report["held"].toInt())
        .arg(boxes.join(" / "))
        .trimmed();
}

} // namespace

class TestPortFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void lineLost_data();
    void lineLost();
    void atStartUp_data();
    void atStartUp();

private:
    bool serve();
    void uploadGoesThrough(Child& terminal);

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<QTemporaryDir> m_kept;
    Line m_line;
    Child m_server;
};

void TestPortFaults::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    m_kept = std::make_unique<QTemporaryDir>();
    // The terminal may run as another user, who writes its settings file here.
    QFile::setPermissions(m_folder->path(), QFileDevice::Permissions(0x7777));
    m_line.cut();
    m_server.stop();
}

// The simulated server on the far end of the line, keeping what it receives.
bool TestPortFaults::serve()
{
    m_server.stop();
    m_server.start(
        ZELVIC_DEVICE_SIM, { "--http-port", "0", "--keep", m_kept->path(), m_line.far() });
    return !m_server.waitFor("status page").isEmpty();
}

// Once the fault is gone: the server applies the settings the terminal writes and sends.
void TestPortFaults::uploadGoesThrough(Child& terminal)
{
    const QJsonObject report = terminal.command("write server.ini");
    QVERIFY2(report["outcome"].toString().startsWith("Completed"),
        qPrintable(report["outcome"].toString()));
    QCOMPARE(seen(report), "open (1 held)");
    QVERIFY(!m_server.waitFor("upload: .* applied$").isEmpty());
    QCOMPARE(
        contents(m_kept->filePath("upload-1.ini")), contents(m_folder->filePath("server.ini")));
}

void TestPortFaults::lineLost_data()
{
    QTest::addColumn<bool>("deviceVanishes");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("advice");

    // The server's side closes and the line goes silent; the sender gives up within its limits.
    QTest::newRow("the far end closes during an upload") << false << "Failed: no answer"
                                                         << "press Write again";
    QTest::newRow("the device vanishes during an upload") << true << "Failed: port lost"
                                                          << "reconnect the cable or adapter";
    QTest::newRow("the device vanishes while idle") << true << ""
                                                    << "";
}

void TestPortFaults::lineLost()
{
    QFETCH(bool, deviceVanishes);
    QFETCH(QString, outcome);
    QFETCH(QString, advice);
    QVERIFY(m_line.up());
    QVERIFY(serve());
    Child terminal;
    startTerminal(terminal, m_line.port(), m_folder->path(), false);
    QCOMPARE(seen(terminal.next()), "open (1 held)");

    QJsonObject report;
    if (outcome.isEmpty()) {
        m_line.cut();
        // The terminal notices by itself before the user presses Write.
        QTest::qWait(200);
    } else {
        // A large server.ini, so that the fault strikes while it is on the way.
        QFile big(m_folder->filePath("server.ini"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.write(QByteArray(4 << 20, ';')) == 4 << 20);
        big.close();
        QCOMPARE(terminal.command("write other.ini")["step"].toString(), "sending");
        if (deviceVanishes)
            m_line.cut();
        else
            m_server.stop();
        report = terminal.next(180000);
        QCOMPARE(report["outcome"].toString(), outcome);
        QVERIFY2(
            report["notice"].toString().contains(advice), qPrintable(report["notice"].toString()));
        // The port-open state tells the truth: a silent line is still open, a vanished device not.
        QCOMPARE(seen(report), deviceVanishes ? "closed (0 held)" : "open (1 held)");
    }
    QVERIFY(terminal.running());

    if (deviceVanishes) {
        QCOMPARE(
            seen(terminal.command("write server.ini")), "closed (0 held) Serial port is closed");
        report = terminal.command("reopen");
        QVERIFY2(seen(report).contains("there is no such device"), qPrintable(seen(report)));
        QVERIFY(seen(report).startsWith("closed (0 held)"));
        QVERIFY(m_line.up());
        QCOMPARE(seen(terminal.command("reopen")), "open (1 held)");
    } else {
        m_line.dropBacklog();
    }
    QVERIFY(serve());
    uploadGoesThrough(terminal);
}

void TestPortFaults::atStartUp_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");

    QTest::newRow("missing device") << "missing"
                                    << "there is no such device. Connect";
    QTest::newRow("another terminal holds it") << "terminal"
                                               << "another program holds it. Close";
    QTest::newRow("another program's exclusive lock") << "lock"
                                                      << "another program holds it";
    QTest::newRow("permission denied") << "permission"
                                       << "permission denied. Add your user";
}

void TestPortFaults::atStartUp()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QVERIFY(m_line.up());
    // The unprivileged user cannot follow the link in the test's own folder.
    const QString device = fault == "permission" ? m_line.device() : m_line.port();
    Child other;
    if (fault == "missing") {
        m_line.cut();
    } else if (fault == "terminal") {
        startTerminal(other, device, m_folder->path(), false);
        QCOMPARE(seen(other.next()), "open (1 held)");
    } else if (fault == "lock") {
        other.start("flock", { "--no-fork", device, "sh", "-c", "echo locked; exec sleep 300" });
        QVERIFY(!other.waitFor("locked").isEmpty());
    } else {
        // Root passes every permission check: the terminal then runs as nobody.
        QVERIFY(QFile::setPermissions(device,
            ::geteuid() == 0 ? QFileDevice::ReadOwner | QFileDevice::WriteOwner
                             : QFileDevice::Permissions()));
    }

    Child terminal;
    startTerminal(terminal, device, m_folder->path(), fault == "permission");
    const QString start = seen(terminal.next());
    QVERIFY2(start.startsWith("closed (0 held) Cannot open serial port COM1")
            && start.contains(message) && !start.contains(" / "),
        qPrintable(start));
    QCOMPARE(seen(terminal.command("write server.ini")), "closed (0 held) Serial port is closed");
    QVERIFY(terminal.running());

    if (fault == "missing")
        QVERIFY(m_line.up());
    else if (fault == "permission")
        QVERIFY(QFile::setPermissions(device, QFileDevice::Permissions(0x6666)));
    other.stop();
    QVERIFY(serve());
    QCOMPARE(seen(terminal.command("reopen")), "open (1 held)");
    uploadGoesThrough(terminal);
}

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--terminal") == 0)
        return runTerminal(argc, argv);
    QCoreApplication app(argc, argv);
    TestPortFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_port_faults.moc"
