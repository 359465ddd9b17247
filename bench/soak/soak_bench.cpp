// The soak run: the whole terminal, offscreen, uploads its settings to the simulated server
// many times in a row with every kind of CommSpy record on, the settings changed before each
// upload. After each it checks that the server applied exactly the file written and that the
// CommSpy log holds the upload whole; now and then it samples the process's memory and open
// descriptors. It fails when those grow after the warm-up beyond the stated tolerances. With
// --idle-every it leaves the terminal idle between some uploads, long enough (--idle-seconds,
// or a short --receiver-timeout for the server) for the server's receiver to give up waiting.
//   zelvic_soak [UPLOADS] [--idle-every N] [--idle-seconds S] [--receiver-timeout S]
//   (500 uploads, back to back, by default)

#include "app/terminal.h"
#include "offscreen.h"
#include "platform/device_choices_posix.h"
#include "platform/message_boxes.h"
#include "platform/process_launcher_posix.h"
#include "platform/registry_posix.h"
#include "platform/serial_port_list_posix.h"
#include "platform/system_directory_posix.h"
#include "platform/working_directory_posix.h"
#include "testkit/file_contents.h"
#include "windows/browser_module_posix.h"
#include "windows/file_dialogs_qt.h"
#include "windows/frm_sax_comm.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <malloc.h>
#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// Growth allowed after the warm-up, between the sample taken there and every later one.
constexpr int kWarmUp = 50;
constexpr qint64 kRssToleranceKiB = 1024;
constexpr qint64 kHeapToleranceKiB = 128;

void say(const QString& text)
{
    std::printf("%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

/// Records messages instead of showing them: a soak has nobody to press OK.
class RecordedMessageBoxes final : public MessageBoxes
{
public:
    void showMessage(const QString& text) override { shown.append(text); }
    QStringList shown;
};

struct Sample
{
    int upload = 0;
    qint64 rssKiB = 0;
    qint64 hwmKiB = 0;
    qint64 heapKiB = 0;
    qint64 descriptors = 0;
    double seconds = 0;
};

qint64 statusKiB(const QByteArray& status, const char* field)
{
    const QRegularExpressionMatch match
        = QRegularExpression(u"(?m)^%1:\\s+(\\d+) kB"_s.arg(QLatin1StringView(field)))
              .match(QString::fromLatin1(status));
    return match.captured(1).toLongLong();
}

Sample sample(int upload, const QElapsedTimer& clock)
{
    const QByteArray status = fileContents(u"/proc/self/status"_s);
    const struct mallinfo2 heap = ::mallinfo2();
    return { upload, statusKiB(status, "VmRSS"), statusKiB(status, "VmHWM"),
        qint64((heap.uordblks + heap.hblkhd) / 1024),
        QDir(u"/proc/self/fd"_s).entryList(QDir::Files | QDir::System).size(),
        double(clock.elapsed()) / 1000.0 };
}

/// One record of the CommSpy log as read back: its kind and its text; for input and output,
/// the bytes its hex column holds.
struct Record
{
    QString kind;
    QString text;
    QByteArray bytes;
};

/// Reads the CommSpy log as it grows, following it when it is renamed to "<path>.1" and begun
/// again, and takes it apart into records. Anything that is not a whole, well-formed record is
/// a fault.
class LogReader
{
public:
    explicit LogReader(QString path)
        : m_path(std::move(path))
    { }

    /// The records written since the last call; false with the reason in error when the log
    /// lost or cut something.
    bool readNew(QList<Record>& records, QString& error)
    {
        QByteArray text;
        const quint64 inode = inodeOf(m_path);
        if (m_inode != 0 && inode != m_inode) {
            // Begun again: the rest of the file read so far is now the previous file.
            if (inodeOf(m_path + u".1"_s) != m_inode) {
                error = u"the log was begun again more than once between two reads"_s;
                return false;
            }
            text = readFrom(m_path + u".1"_s, m_offset);
            m_offset = 0;
            ++m_rotations;
        }
        m_inode = inode;
        const QByteArray fresh = readFrom(m_path, m_offset);
        m_offset += fresh.size();
        text += fresh;
        if (!text.isEmpty() && !text.endsWith('\n')) {
            error = u"a record is cut short"_s;
            return false;
        }
        static const QRegularExpression line(
            u"^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} (event|input|output|property|warning) *(.*)$"_s);
        for (const QByteArray& raw : text.split('\n')) {
            if (raw.isEmpty())
                continue;
            const QRegularExpressionMatch match = line.match(QString::fromUtf8(raw));
            if (!match.hasMatch()) {
                error = u"a malformed record: "_s + QString::fromUtf8(raw);
                return false;
            }
            Record record { match.captured(1), match.captured(2), {} };
            if ((record.kind == u"input" || record.kind == u"output")
                && !readBytes(record.text, record.bytes)) {
                error = u"a malformed byte record: "_s + record.text;
                return false;
            }
            records.append(record);
        }
        return true;
    }

    int rotations() const { return m_rotations; }

private:
    static quint64 inodeOf(const QString& path)
    {
        struct stat info
        {
        };
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
    }

    static QByteArray readFrom(const QString& path, qint64 offset)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
            return {};
        return file.readAll();
    }

    // Up to 16 bytes in hex, padded to 48 columns, a blank, then the same bytes as ASCII with
    // a dot for each unprintable one: both halves must agree.
    static bool readBytes(const QString& text, QByteArray& bytes)
    {
        if (text.size() < 50 || text.at(48) != u' ')
            return false;
        bytes = QByteArray::fromHex(text.left(48).toLatin1());
        const QString ascii = text.mid(49);
        if (bytes.isEmpty() || bytes.size() > 16 || ascii.size() != bytes.size()
            || text.left(48).simplified().size() != 3 * bytes.size() - 1)
            return false;
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const auto b = static_cast<quint8>(bytes.at(i));
            if (ascii.at(i) != (b >= 0x20 && b < 0x7F ? QChar(char16_t(b)) : QChar(u'.')))
                return false;
        }
        return true;
    }

    QString m_path;
    quint64 m_inode = 0;
    qint64 m_offset = 0;
    int m_rotations = 0;
};

/// Changes every setting for upload n, as a user typing would: the entry rules and the
/// switches run.
void changeSettings(frmMain& window, int n)
{
    window.applySetting({ u"chkDHCP"_s, n % 2 });
    const QStringList ip
        = { u"192"_s, u"168"_s, QString::number(n / 256), QString::number(n % 256) };
    const QStringList mail = { u"10"_s, QString::number(n % 7), QString::number(n % 250), u"25"_s };
    for (int i = 0; i < 4; ++i) {
        const QString suffix = i == 0 ? QString() : QString::number(i + 1);
        window.applySetting({ u"txtIpAddress"_s + suffix, ip.at(i) });
        window.applySetting({ u"txtEmailServerAddress"_s + suffix, mail.at(i) });
    }
    for (int i = 0; i < 6; ++i)
        window.applySetting({ u"txtMacAddress"_s + (i == 0 ? QString() : QString::number(i + 1)),
            QString::number((n * (i + 3)) % 256, 16) });
    window.applySetting({ u"txtSenderAddress"_s, u"terminal%1@example.com"_s.arg(n) });
    window.applySetting({ u"txtReceiverAddress"_s, u"admin%1@example.com"_s.arg(n * 7) });
    window.applySetting({ u"txtHost"_s, u"mail%1.example.com"_s.arg(n % 13) });
    window.applySetting({ u"chkFTP"_s, (n / 2) % 2 });
    window.applySetting({ u"txtUserName"_s, u"user%1"_s.arg(n) });
    window.applySetting({ u"txtPassword"_s, u"pw%1"_s.arg(n * 31 % 1000) });
}

/// Checks one upload's records: its start and its end, and the bytes sent and received between
/// them exactly as counted at the port.
QString checkUpload(
    const QList<Record>& records, qint64 size, qint64 sent, qint64 received, int& warnings)
{
    const QStringList wanted = { u"event Sending server.ini (%1 bytes) with ZMODEM"_s.arg(size),
        u"event Transfer Completed: %1 bytes in "_s.arg(size) };
    qsizetype next = 0;
    qint64 loggedSent = 0;
    qint64 loggedReceived = 0;
    for (const Record& record : records) {
        const bool between = next == 1;
        if (next < wanted.size() && (record.kind + u' ' + record.text).startsWith(wanted.at(next)))
            ++next;
        if (record.kind == u"warning")
            ++warnings;
        if (!between)
            continue;
        if (record.kind == u"output")
            loggedSent += record.bytes.size();
        else if (record.kind == u"input")
            loggedReceived += record.bytes.size();
    }
    if (next < wanted.size())
        return u"no record \"%1\""_s.arg(wanted.at(next));
    if (loggedSent != sent || loggedReceived != received)
        return u"the log holds %1 bytes sent and %2 received, the port saw %3 and %4"_s
            .arg(loggedSent)
            .arg(loggedReceived)
            .arg(sent)
            .arg(received);
    return {};
}

} // namespace

int main(int argc, char* argv[])
{
    // The user's own CommSpy log and settings stay untouched.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath(u"data"_s).toLocal8Bit());
    runOffscreenQuietly();
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"zelvic"_s);

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addPositionalArgument(u"uploads"_s, u"How many uploads (500 by default)."_s);
    const QCommandLineOption idleEveryOption(u"idle-every"_s,
        u"Leave the terminal idle before every Nth upload (0, the default: never)."_s, u"n"_s,
        u"0"_s);
    const QCommandLineOption idleSecondsOption(
        u"idle-seconds"_s, u"How long each idle gap lasts (75 s by default)."_s, u"s"_s, u"75"_s);
    const QCommandLineOption receiverTimeoutOption(u"receiver-timeout"_s,
        u"The server's --receiver-timeout: how long its receiver waits before it gives up."_s,
        u"s"_s);
    parser.addOptions({ idleEveryOption, idleSecondsOption, receiverTimeoutOption });
    parser.process(app);
    const int uploads = std::max(1, parser.positionalArguments().value(0, u"500"_s).toInt());
    const int idleEvery = std::max(0, parser.value(idleEveryOption).toInt());
    const int idleMs = qRound(std::max(0.0, parser.value(idleSecondsOption).toDouble()) * 1000);

    QTemporaryDir kept;
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList serverOptions { u"--http-port"_s, u"0"_s, u"--keep"_s, kept.path() };
    if (parser.isSet(receiverTimeoutOption))
        serverOptions << u"--receiver-timeout"_s << parser.value(receiverTimeoutOption);
    server.start(QStringLiteral(ZELVIC_DEVICE_SIM), serverOptions);
    // The server's lines, counted and dropped as they come, so that the soak itself keeps no
    // more and more text.
    QString printed;
    QString lastLine;
    QString com1;
    int applied = 0;
    int gaveUp = 0;
    QObject::connect(&server, &QProcess::readyReadStandardOutput, [&] {
        printed += QString::fromLocal8Bit(server.readAllStandardOutput());
        for (qsizetype end; (end = printed.indexOf(u'\n')) >= 0; printed.remove(0, end + 1)) {
            lastLine = printed.left(end);
            if (lastLine.startsWith(u"COM1: "_s))
                com1 = lastLine.mid(6);
            else if (lastLine.startsWith(u"upload: "_s) && lastLine.endsWith(u" applied"_s))
                ++applied;
            else if (lastLine.startsWith(u"receiver: "_s) && lastLine.contains(u" gave up "_s))
                ++gaveUp;
        }
    });
    if (!QTest::qWaitFor([&] { return !com1.isEmpty(); }, 10000)) {
        say(u"FAIL: the simulated server did not start: "_s + lastLine);
        return 1;
    }

    RecordedMessageBoxes boxes;
    QtFileDialogs fileDialogs;
    PosixWorkingDirectory workingDirectory;
    PosixSystemDirectory systemDirectory;
    PosixProcessLauncher launcher;
    PosixRegistry registry;
    PosixBrowserModule browsers(boxes);
    PosixSerialPortList serialPorts;
    PosixDeviceChoices deviceChoices;
    QProcessEnvironment environment;
    environment.insert(u"ZELVIC_COM1"_s, com1);
    Terminal terminal({ boxes, fileDialogs, workingDirectory, systemDirectory, launcher, registry,
                          browsers, serialPorts, deviceChoices },
        environment);
    terminal.start();
    frmMain& window = terminal.mainWindow();
    SaxComm& comm = terminal.comm();
    comm.setCommSpy(true);
    for (const LogSwitch kind : { LogSwitch::Events, LogSwitch::Input, LogSwitch::Output,
             LogSwitch::Properties, LogSwitch::Warnings })
        comm.setLogSwitch(kind, true);
    LogReader log(comm.commSpyLogPath());
    QDir::setCurrent(home.path());
    const QString file = QDir(home.path()).filePath(u"server.ini"_s);
    window.setCurrentFileName(file);

    // The bytes of the running transfer as the port saw them. The sender reads after this
    // counter has looked, as it connects when it starts.
    qint64 sent = 0;
    qint64 received = 0;
    QObject::connect(&comm.port(), &QIODevice::bytesWritten, [&](qint64 bytes) { sent += bytes; });
    QObject::connect(&comm.port(), &QIODevice::readyRead, [&] {
        if (comm.transferRunning())
            received += comm.port().bytesAvailable();
    });
    bool finished = false;
    QString outcome;
    QObject::connect(&comm, &SaxComm::transferFinished, [&](bool success, const QString& text) {
        finished = true;
        outcome = success ? QString() : text;
    });

    say(u"soak: %1 uploads with ZMODEM to the simulated server, CommSpy log %2"_s.arg(uploads).arg(
        comm.commSpyLogPath()));
    QList<Sample> samples;
    QElapsedTimer clock;
    clock.start();
    QByteArray previous;
    int warnings = 0;
    const auto fail = [&](int n, const QString& why) {
        say(u"FAIL: upload %1: %2"_s.arg(n).arg(why));
        return 1;
    };
    qint64 slowestMs = 0;
    qint64 idleTotalMs = 0;
    for (int n = 1; n <= uploads; ++n) {
        // Write is pressed again as soon as the server has applied the last upload, except
        // after an idle gap, in which the terminal keeps reading what the server says.
        if (idleEvery > 0 && n % idleEvery == 0) {
            QTest::qWait(idleMs);
            idleTotalMs += idleMs;
        }
        changeSettings(window, n);
        const qint64 startedMs = clock.elapsed();
        sent = received = 0;
        finished = false;
        QList<Record> records;
        QString error;
        if (!log.readNew(records, error))
            return fail(n, error);
        records.clear();
        window.writeButton()->click();
        if (!QTest::qWaitFor([&] { return finished && applied >= n; }, 60000))
            return fail(n, u"no end; the server said: "_s + lastLine);
        if (!outcome.isEmpty() || !boxes.shown.isEmpty())
            return fail(n, outcome + boxes.shown.join(u" / "_s));
        const QByteArray written = fileContents(file);
        if (written == previous)
            return fail(n, u"the settings did not change"_s);
        if (fileContents(QDir(kept.path()).filePath(u"upload-%1.ini"_s.arg(n))) != written)
            return fail(n, u"the server kept another file than the one written"_s);
        previous = written;
        slowestMs = std::max(slowestMs, clock.elapsed() - startedMs);
        if (!log.readNew(records, error))
            return fail(n, error);
        const QString gap = checkUpload(records, written.size(), sent, received, warnings);
        if (!gap.isEmpty())
            return fail(n, gap);
        if (n == 1 || n == 10 || n % 50 == 0 || n == uploads) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            samples.append(sample(n, clock));
        }
    }

    server.kill();
    server.waitForFinished();

    say(u"upload   VmRSS KiB   VmHWM KiB   heap KiB   open fds   seconds"_s);
    for (const Sample& s : samples)
        say(u"%1 %2 %3 %4 %5 %6"_s.arg(s.upload, 6)
                .arg(s.rssKiB, 11)
                .arg(s.hwmKiB, 11)
                .arg(s.heapKiB, 10)
                .arg(s.descriptors, 10)
                .arg(s.seconds, 9, 'f', 1));
    say(u"log: every upload's records complete; %1 restarts of the log followed; %2 warnings"_s
            .arg(log.rotations())
            .arg(warnings));

    // After the warm-up nothing may grow beyond the tolerances.
    const auto base = std::find_if(
        samples.cbegin(), samples.cend(), [](const Sample& s) { return s.upload >= kWarmUp; });
    bool grew = false;
    for (auto s = base; base != samples.cend() && s != samples.cend(); ++s) {
        const bool over = s->rssKiB - base->rssKiB > kRssToleranceKiB
            || s->hwmKiB - base->hwmKiB > kRssToleranceKiB
            || s->heapKiB - base->heapKiB > kHeapToleranceKiB
            || s->descriptors != base->descriptors;
        if (over)
            say(u"FAIL: grown by upload %1 since upload %2"_s.arg(s->upload).arg(base->upload));
        grew = grew || over;
    }
    say(u"tolerance after upload %1: VmRSS and VmHWM +%2 KiB, heap +%3 KiB, no new descriptor"_s
            .arg(kWarmUp)
            .arg(kRssToleranceKiB)
            .arg(kHeapToleranceKiB));
    say(u"%1 uploads in %2 s, %3 s of them idle gaps; the slowest took %4 s"_s.arg(uploads)
            .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 1)
            .arg(double(idleTotalMs) / 1000.0, 0, 'f', 1)
            .arg(double(slowestMs) / 1000.0, 0, 'f', 2));
    say(u"the server's receiver gave up waiting %1 times"_s.arg(gaveUp));
    return grew ? 1 : 0;
}
