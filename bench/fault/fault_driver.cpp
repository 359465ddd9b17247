// Uploads files with the serial control, as the terminal's Write does, through the faulty line
// relay to lrzsz's receivers, and classifies every upload: delivered exactly and reported as
// success, reported as failed, delivered but reported as failed, or reported as success without
// the exact file arriving (a silent corruption, which makes the run fail).

#include "offscreen.h"
#include "serial_link/sax_comm.h"
#include "settings_file/settings_format.h"

#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace {

struct Protocol
{
    QString name;
    int option; // the serial control's start-up option
    QStringList receiver;
    bool padded; // the receiver keeps the last block's 0x1A padding
};

const QList<Protocol> kProtocols {
    { QStringLiteral("XMODEM"), 1,
        { QStringLiteral("rx"), QStringLiteral("-b"), QStringLiteral("-c") }, true },
    { QStringLiteral("YMODEM"), 2,
        { QStringLiteral("rb"), QStringLiteral("-b"), QStringLiteral("-y") }, false },
    { QStringLiteral("ZMODEM"), 3,
        { QStringLiteral("rz"), QStringLiteral("-b"), QStringLiteral("-y") }, false },
};

// The name the terminal's Write always sends.
const QString kFileName = QStringLiteral("server.ini");
constexpr int kXmodemBlock = 128;
constexpr char kPadding = 0x1A;

struct Input
{
    QString name;
    QByteArray data;
};

enum class Verdict { Succeeded, Failed, DeliveredButFailed, SilentCorruption, Unfinished };

struct UploadResult
{
    Verdict verdict = Verdict::Failed;
    double seconds = 0;
};

struct Settings
{
    QString relay;
    QString lineSettings;
    int baud = 0;
    int stallMs = 1000;
    double stallRatio = 0.1;
    QStringList receiverExtra;
    QString logs; // the folder for each upload's receiver log; none when empty
    int uploadLimitS = 0; // 0: 600 s and 2 s for every 128 bytes
    int receiverGraceS = 30;
    bool commSpy = false;
};

// ---- Inputs ----

QString randomText(QRandomGenerator& random, int minLength, int maxLength)
{
    // Printable ASCII and the accented letters of the 8-bit character set the file uses.
    static const QString extra = QStringLiteral("\u00e9\u00e8\u00fc\u00f1\u00e7\u00df\u00e5");
    QString text;
    const int length = random.bounded(minLength, maxLength + 1);
    for (int i = 0; i < length; ++i) {
        if (random.bounded(10) == 0)
            text += extra[random.bounded(int(extra.size()))];
        else
            text += QChar(random.bounded(0x21, 0x7F));
    }
    // A comma ends an item of the file; keep the values whole.
    text.replace(u',', u'.');
    return text;
}

QByteArray settingsFile(QRandomGenerator& random)
{
    ServerSettings s;
    s.dhcp = random.bounded(2);
    for (QString& octet : s.ipAddress)
        octet = QString::number(random.bounded(256));
    for (QString& octet : s.macAddress)
        octet = QStringLiteral("%1").arg(random.bounded(256), 2, 16, QChar(u'0')).toUpper();
    for (QString& octet : s.mailServerAddress)
        octet = QString::number(random.bounded(256));
    s.sender = randomText(random, 5, 30) + QStringLiteral("@example.com");
    s.receiver = randomText(random, 5, 30) + QStringLiteral("@example.org");
    s.host = QStringLiteral("mail.") + randomText(random, 3, 20) + QStringLiteral(".example");
    s.ftp = random.bounded(2);
    s.userName = randomText(random, 3, 20);
    s.password = randomText(random, 6, 40);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!writeSettings(buffer, s).ok())
        return {};
    return buffer.data();
}

QByteArray binaryFile(QRandomGenerator& random)
{
    QByteArray data(random.bounded(1, 4097), '\0');
    for (char& c : data)
        c = static_cast<char>(random.bounded(256));
    // A receiver that keeps the padding could not tell a last 0x1A from it.
    if (data.back() == kPadding)
        data.back() = '\0';
    return data;
}

// Settings files and random binary files in turn, the same for every protocol and rate.
QList<Input> generatedInputs(int count, quint32 seed)
{
    QList<Input> inputs;
    for (int i = 0; i < count; ++i) {
        QRandomGenerator random(seed + quint32(i));
        if (i % 2 == 0)
            inputs.append({ QStringLiteral("settings-%1.ini").arg(i), settingsFile(random) });
        else
            inputs.append({ QStringLiteral("binary-%1.bin").arg(i), binaryFile(random) });
    }
    return inputs;
}

std::optional<QList<Input>> folderInputs(const QString& path)
{
    QList<Input> inputs;
    const QDir folder(path);
    for (const QString& name : folder.entryList(QDir::Files | QDir::Readable, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        inputs.append({ name, file.readAll() });
    }
    if (inputs.isEmpty())
        return std::nullopt;
    return inputs;
}

// ---- One upload ----

/// What a correct delivery leaves in the receiving folder.
QByteArray expectedFile(const QByteArray& data, bool padded)
{
    QByteArray expected = data;
    if (padded && expected.size() % kXmodemBlock != 0)
        expected.append(kXmodemBlock - expected.size() % kXmodemBlock, kPadding);
    return expected;
}

/// Starts the relay with its receiver in a fresh folder, opens the serial control on it, sends
/// the file as Write does and, once the receiver has ended, compares what arrived.
class Upload : public QObject
{
    Q_OBJECT

public:
    /// log: where the relay's summary and the receiver's protocol log go; none when empty.
    Upload(const Settings& settings, const Protocol& protocol, const QStringList& faults,
        const Input& input, const QString& log)
        : m_settings(settings)
        , m_protocol(protocol)
        , m_faults(faults)
        , m_input(input)
        , m_log(log)
    { }

    void start()
    {
        m_sendPath = m_work.filePath(QStringLiteral("send/") + kFileName);
        m_receiveFolder = m_work.filePath(QStringLiteral("receive"));
        QDir().mkpath(m_work.filePath(QStringLiteral("send")));
        QDir().mkpath(m_receiveFolder);
        QFile file(m_sendPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(m_input.data) != m_input.data.size()) {
            finish(Verdict::Failed, QStringLiteral("cannot write the file to send"));
            return;
        }
        file.close();

        QStringList arguments = m_faults;
        if (m_log.isEmpty())
            arguments << QStringLiteral("--quiet");
        arguments << QStringLiteral("--") << m_protocol.receiver << m_settings.receiverExtra;
        if (!m_log.isEmpty())
            arguments << QStringLiteral("-vv");
        if (m_protocol.padded)
            arguments << kFileName;
        m_relay.setWorkingDirectory(m_receiveFolder);
        m_relay.setStandardErrorFile(m_log.isEmpty() ? QProcess::nullDevice() : m_log);
        connect(&m_relay, &QProcess::readyReadStandardOutput, this, &Upload::relayReady);
        connect(&m_relay, &QProcess::finished, this, &Upload::relayEnded);
        m_limit.setSingleShot(true);
        connect(&m_limit, &QTimer::timeout, this, &Upload::outOfTime);
        m_limitS = m_settings.uploadLimitS > 0
            ? m_settings.uploadLimitS
            : int(600 + 2 * (m_input.data.size() / kXmodemBlock));
        m_limit.start(m_limitS * 1000);
        m_relay.start(m_settings.relay, arguments);
    }

    UploadResult result() const { return m_result; }
    QString detail() const { return m_detail; }

signals:
    void done();

private:
    void relayReady()
    {
        if (m_comm || !m_relay.canReadLine())
            return;
        const QString device = QString::fromLocal8Bit(m_relay.readLine()).trimmed();
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("ZELVIC_COM1"), device);
        m_comm = std::make_unique<SaxComm>(environment);
        SaxComm& comm = *m_comm;
        if (m_settings.commSpy) {
            comm.setCommSpy(true);
            for (const LogSwitch kind :
                { LogSwitch::Events, LogSwitch::Warnings, LogSwitch::Input, LogSwitch::Output })
                comm.setLogSwitch(kind, true);
        }
        comm.setSettings(m_settings.lineSettings);
        if (const Result<> opened = comm.setPortOpen(true); !opened.ok()) {
            finish(Verdict::Failed, opened.error());
            return;
        }
        comm.setStartupOption(m_protocol.option);
        connect(&comm, &SaxComm::transferFinished, this, &Upload::transferFinished);
        comm.setFileToSend(m_sendPath);
        m_clock.start();
        if (const Result<> started = comm.setTransfer(1); !started.ok())
            finish(Verdict::Failed, started.error());
    }

    void transferFinished(bool success, const QString& outcome)
    {
        m_result.seconds = double(m_clock.elapsed()) / 1000.0;
        m_reported = success;
        m_outcome = outcome;
        // The receiver ends of itself once it has the file or the cancel; a receiver still
        // waiting is stopped after a grace period.
        QTimer::singleShot(m_settings.receiverGraceS * 1000, &m_relay, &QProcess::terminate);
        if (m_relay.state() == QProcess::NotRunning)
            relayEnded();
    }

    void relayEnded()
    {
        if (!m_reported.has_value()) {
            // The receiver gave up before the sender had finished: the sender ends on its own.
            return;
        }
        QFile received(m_receiveFolder + u'/' + kFileName);
        const bool exact = received.open(QIODevice::ReadOnly)
            && received.readAll() == expectedFile(m_input.data, m_protocol.padded);
        if (*m_reported && !exact)
            finish(Verdict::SilentCorruption,
                QStringLiteral("reported \"%1\", but %2")
                    .arg(m_outcome,
                        received.exists() ? QStringLiteral("the file arrived different (%1 bytes)")
                                                .arg(received.size())
                                          : QStringLiteral("no file arrived")));
        else if (*m_reported)
            finish(Verdict::Succeeded, {});
        else
            finish(exact ? Verdict::DeliveredButFailed : Verdict::Failed, m_outcome);
    }

    void outOfTime()
    {
        if (m_comm)
            m_comm->abortTransfer(QStringLiteral("out of time"));
        m_result.seconds = m_limitS;
        finish(
            Verdict::Unfinished, QStringLiteral("the transfer did not end in %1 s").arg(m_limitS));
    }

    void finish(Verdict verdict, const QString& detail)
    {
        if (m_finished)
            return;
        m_finished = true;
        m_limit.stop();
        m_result.verdict = verdict;
        m_detail = detail;
        disconnect(&m_relay, nullptr, this, nullptr);
        if (m_relay.state() != QProcess::NotRunning) {
            m_relay.terminate();
            m_relay.waitForFinished(3000);
        }
        if (m_comm)
            m_comm->setPortOpen(false);
        // Called from the control's own signals: it goes once control is back in the loop.
        QTimer::singleShot(0, this, &Upload::done);
    }

    const Settings& m_settings;
    const Protocol& m_protocol;
    QStringList m_faults;
    const Input& m_input;
    QString m_log;
    QTemporaryDir m_work;
    QString m_sendPath;
    QString m_receiveFolder;
    QProcess m_relay;
    QTimer m_limit;
    int m_limitS = 0;
    std::unique_ptr<SaxComm> m_comm;
    QElapsedTimer m_clock;
    std::optional<bool> m_reported;
    QString m_outcome;
    bool m_finished = false;
    UploadResult m_result;
    QString m_detail;
};

// ---- The run ----

struct Job
{
    const Protocol* protocol;
    double rate;
    int index;
};

struct Tally
{
    QList<UploadResult> results;
    int count(Verdict verdict) const
    {
        return int(std::count_if(results.begin(), results.end(),
            [verdict](const UploadResult& r) { return r.verdict == verdict; }));
    }
};

/// The fault options for a bit-error rate: drops and noise as often as bit errors, stalls a
/// set fraction as often.
QStringList faultOptions(const Settings& settings, double rate, quint32 seed)
{
    const auto number = [](double value) { return QString::number(value, 'g', 6); };
    return { QStringLiteral("--ber"), number(rate), QStringLiteral("--drop"), number(rate),
        QStringLiteral("--noise"), number(rate), QStringLiteral("--stall"),
        number(rate * settings.stallRatio), QStringLiteral("--stall-ms"),
        QString::number(settings.stallMs), QStringLiteral("--seed"), QString::number(seed),
        QStringLiteral("--baud"), QString::number(settings.baud) };
}

QString verdictName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Succeeded:
        return QStringLiteral("succeeded");
    case Verdict::Failed:
        return QStringLiteral("failed");
    case Verdict::DeliveredButFailed:
        return QStringLiteral("delivered, reported failed");
    case Verdict::SilentCorruption:
        return QStringLiteral("SILENT CORRUPTION");
    case Verdict::Unfinished:
        return QStringLiteral("UNFINISHED");
    }
    return {};
}

QString seconds(double value)
{
    return QString::number(value, 'f', 2);
}

} // namespace

int main(int argc, char* argv[])
{
    runOffscreenQuietly();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Uploads files with the serial control through the faulty line relay to lrzsz's "
        "receivers and counts, per protocol and bit-error rate, the uploads that succeeded, "
        "failed, and those reported as success without the exact file arriving (silent "
        "corruptions: the exit status is 1 when there is any). Drops and noise bursts come as "
        "often as bit errors, stalls a tenth as often (--stall-ratio). Plain bytes are not run: "
        "lrzsz has no receiver for them and they carry no error detection."));
    parser.addHelpOption();
    const QCommandLineOption protocolsOption(QStringLiteral("protocols"),
        QStringLiteral("Protocols: XMODEM,YMODEM,ZMODEM."), QStringLiteral("list"),
        QStringLiteral("XMODEM,YMODEM,ZMODEM"));
    const QCommandLineOption ratesOption(QStringLiteral("rates"),
        QStringLiteral("Bit-error rates."), QStringLiteral("list"),
        QStringLiteral("1e-5,1e-4,1e-3"));
    const QCommandLineOption uploadsOption(QStringLiteral("uploads"),
        QStringLiteral("Uploads per protocol and rate."), QStringLiteral("n"),
        QStringLiteral("100"));
    const QCommandLineOption parallelOption(QStringLiteral("parallel"),
        QStringLiteral("Uploads running at once, each through its own relay."), QStringLiteral("n"),
        QStringLiteral("6"));
    const QCommandLineOption inputsOption(QStringLiteral("inputs"),
        QStringLiteral("Send the files of this folder, in turn, instead of generated settings "
                       "files and random binary files."),
        QStringLiteral("folder"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
        QStringLiteral("The first upload's seed (faults and generated files); upload i of each "
                       "protocol and rate uses seed + i."),
        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption baudOption(QStringLiteral("baud"),
        QStringLiteral("The relay's speed; 0: no limit."), QStringLiteral("baud"),
        QStringLiteral("0"));
    const QCommandLineOption stallOption(QStringLiteral("stall-ms"),
        QStringLiteral("How long a stall lasts."), QStringLiteral("ms"), QStringLiteral("1000"));
    const QCommandLineOption stallRatioOption(QStringLiteral("stall-ratio"),
        QStringLiteral("The stall rate as a fraction of the bit-error rate."),
        QStringLiteral("ratio"), QStringLiteral("0.1"));
    const QCommandLineOption limitOption(QStringLiteral("upload-limit"),
        QStringLiteral("Seconds an upload may take before it counts as unfinished; 0: 600 and 2 "
                       "for every 128 bytes of the file."),
        QStringLiteral("seconds"), QStringLiteral("0"));
    const QCommandLineOption receiverTimeoutOption(QStringLiteral("receiver-timeout"),
        QStringLiteral("lrzsz's timeout (its -t option) in tenths of a second; 0: its own."),
        QStringLiteral("tenths"), QStringLiteral("0"));
    const QCommandLineOption relayOption(QStringLiteral("relay"),
        QStringLiteral("The relay program (default: zelvic-line-relay beside this program)."),
        QStringLiteral("path"));
    const QCommandLineOption logsOption(QStringLiteral("logs"),
        QStringLiteral("Run the receivers with -vv and keep each upload's receiver log and the "
                       "relay's fault counts in this folder, named protocol-rate-seed.log."),
        QStringLiteral("folder"));
    const QCommandLineOption commSpyOption(QStringLiteral("commspy"),
        QStringLiteral("Record every upload's events, warnings and bytes in the CommSpy log "
                       "(meant with --parallel 1)."));
    parser.addOptions({ protocolsOption, ratesOption, uploadsOption, parallelOption, inputsOption,
        seedOption, baudOption, stallOption, stallRatioOption, limitOption, receiverTimeoutOption,
        relayOption, logsOption, commSpyOption });
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    Settings settings;
    settings.relay = parser.isSet(relayOption)
        ? parser.value(relayOption)
        : QCoreApplication::applicationDirPath() + QStringLiteral("/zelvic-line-relay");
    settings.baud = parser.value(baudOption).toInt();
    // The control's speed only sizes its packets and waits; the relay sets the real pace.
    settings.lineSettings
        = QStringLiteral("%1,n,8,1").arg(settings.baud > 0 ? settings.baud : 115200);
    settings.stallMs = parser.value(stallOption).toInt();
    settings.stallRatio = parser.value(stallRatioOption).toDouble();
    settings.uploadLimitS = parser.value(limitOption).toInt();
    settings.commSpy = parser.isSet(commSpyOption);
    if (parser.isSet(logsOption)) {
        settings.logs = QDir(parser.value(logsOption)).absolutePath();
        QDir().mkpath(settings.logs);
    }
    if (const int tenths = parser.value(receiverTimeoutOption).toInt(); tenths > 0)
        settings.receiverExtra = { QStringLiteral("-t"), QString::number(tenths) };
    const int uploads = parser.value(uploadsOption).toInt();
    const int parallel = std::max(1, parser.value(parallelOption).toInt());
    const quint32 seed = parser.value(seedOption).toUInt();

    QList<Input> inputs;
    if (parser.isSet(inputsOption)) {
        const std::optional<QList<Input>> read = folderInputs(parser.value(inputsOption));
        if (!read) {
            err << "No readable files in " << parser.value(inputsOption) << '\n';
            return 2;
        }
        inputs = *read;
    } else {
        inputs = generatedInputs(std::max(1, uploads), seed);
    }

    QList<const Protocol*> protocols;
    for (const QString& name : parser.value(protocolsOption).split(u',')) {
        const auto found = std::find_if(kProtocols.begin(), kProtocols.end(),
            [&](const Protocol& p) { return p.name.compare(name, Qt::CaseInsensitive) == 0; });
        if (found == kProtocols.end()) {
            err << "Unknown protocol " << name << '\n';
            return 2;
        }
        protocols.append(&*found);
    }
    QList<double> rates;
    for (const QString& rate : parser.value(ratesOption).split(u','))
        rates.append(rate.toDouble());

    std::deque<Job> jobs;
    for (const Protocol* protocol : std::as_const(protocols))
        for (const double rate : std::as_const(rates))
            for (int i = 0; i < uploads; ++i)
                jobs.push_back({ protocol, rate, i });
    QMap<QPair<QString, double>, Tally> tallies;
    int running = 0;
    int silent = 0;
    int unfinished = 0;
    QElapsedTimer clock;
    clock.start();

    std::function<void()> startNext = [&] {
        while (running < parallel && !jobs.empty()) {
            const Job job = jobs.front();
            jobs.pop_front();
            const quint32 uploadSeed = seed + quint32(job.index);
            const Input& input = inputs[job.index % inputs.size()];
            const QString log = settings.logs.isEmpty()
                ? QString()
                : QStringLiteral("%1/%2-%3-%4.log")
                      .arg(settings.logs, job.protocol->name, QString::number(job.rate))
                      .arg(uploadSeed);
            auto* upload = new Upload(
                settings, *job.protocol, faultOptions(settings, job.rate, uploadSeed), input, log);
            ++running;
            QObject::connect(upload, &Upload::done, &app, [&, upload, job, uploadSeed] {
                const UploadResult result = upload->result();
                tallies[{ job.protocol->name, job.rate }].results.append(result);
                if (result.verdict == Verdict::SilentCorruption
                    || result.verdict == Verdict::Unfinished) {
                    silent += result.verdict == Verdict::SilentCorruption ? 1 : 0;
                    unfinished += result.verdict == Verdict::Unfinished ? 1 : 0;
                    err << verdictName(result.verdict) << ": " << job.protocol->name << ", "
                        << inputs[job.index % inputs.size()].name << ", relay "
                        << faultOptions(settings, job.rate, uploadSeed).join(u' ') << ": "
                        << upload->detail() << '\n';
                    err.flush();
                }
                upload->deleteLater();
                --running;
                if (jobs.empty() && running == 0)
                    app.quit();
                else
                    startNext();
            });
            upload->start();
        }
    };
    if (jobs.empty())
        return 0;
    QTimer::singleShot(0, &app, startNext);
    QTimer progress;
    QObject::connect(&progress, &QTimer::timeout, &app, [&] {
        int finished = 0;
        for (const Tally& tally : std::as_const(tallies))
            finished += int(tally.results.size());
        err << finished << " uploads done, " << silent << " silent corruptions, "
            << int(clock.elapsed() / 1000) << " s\n";
        err.flush();
    });
    progress.start(60000);
    app.exec();

    out << QStringLiteral("Uploads with the serial control through zelvic-line-relay to "
                          "lrzsz (rx -b -c, rb -b -y, rz -b -y%1); per byte: drop and noise "
                          "rate = bit-error rate, stall rate = bit-error rate x %2, stalls of "
                          "%3 ms; relay speed %4\n")
               .arg(settings.receiverExtra.isEmpty()
                       ? QString()
                       : QStringLiteral(", ") + settings.receiverExtra.join(u' '))
               .arg(settings.stallRatio)
               .arg(settings.stallMs)
               .arg(settings.baud > 0 ? QStringLiteral("%1 baud").arg(settings.baud)
                                      : QStringLiteral("unlimited"));
    out << QStringLiteral("Inputs: %1\n\n")
               .arg(parser.isSet(inputsOption)
                       ? QStringLiteral("%1 files from %2")
                             .arg(inputs.size())
                             .arg(parser.value(inputsOption))
                       : QStringLiteral("generated settings files and random binary files up to "
                                        "4 KiB, seed %1")
                             .arg(seed));
    const auto row = [&out](const QStringList& cells) {
        const QList<int> widths { -8, -6, 7, 9, 9, 6, 16, 10, 6, 8, 7 };
        QString line;
        for (qsizetype i = 0; i < cells.size(); ++i)
            line += QStringLiteral("%1 ").arg(cells[i], widths[i]);
        out << line.trimmed() << u'\n';
    };
    row({ QStringLiteral("protocol"), QStringLiteral("BER"), QStringLiteral("uploads"),
        QStringLiteral("succeeded"), QStringLiteral("success %"), QStringLiteral("failed"),
        QStringLiteral("delivered+failed"), QStringLiteral("unfinished"), QStringLiteral("silent"),
        QStringLiteral("median s"), QStringLiteral("max s") });
    for (const Protocol* protocol : std::as_const(protocols)) {
        for (const double rate : std::as_const(rates)) {
            const Tally& tally = tallies[{ protocol->name, rate }];
            QList<double> times;
            for (const UploadResult& result : tally.results)
                times.append(result.seconds);
            std::sort(times.begin(), times.end());
            const double median = times.isEmpty() ? 0 : times[times.size() / 2];
            const double longest = times.isEmpty() ? 0 : times.back();
            const int succeeded = tally.count(Verdict::Succeeded);
            row({ protocol->name, QString::number(rate, 'g', 3),
                QString::number(tally.results.size()), QString::number(succeeded),
                QString::number(tally.results.isEmpty()
                        ? 0.0
                        : 100.0 * succeeded / double(tally.results.size()),
                    'f', 1),
                QString::number(tally.count(Verdict::Failed)),
                QString::number(tally.count(Verdict::DeliveredButFailed)),
                QString::number(tally.count(Verdict::Unfinished)),
                QString::number(tally.count(Verdict::SilentCorruption)), seconds(median),
                seconds(longest) });
        }
    }
    out << QStringLiteral("\nfailed: reported failed, the file not delivered exactly; "
                          "delivered+failed: the exact file arrived but the upload was reported "
                          "failed; unfinished: not ended within the upload limit (a fault); "
                          "silent: reported success without the exact file (a fault). Times "
                          "from the start of the upload to its outcome. Plain bytes: not run "
                          "(no lrzsz receiver, no error detection). Total time %1 s\n")
               .arg(clock.elapsed() / 1000);
    return silent > 0 || unfinished > 0 ? 1 : 0;
}

#include "fault_driver.moc"
