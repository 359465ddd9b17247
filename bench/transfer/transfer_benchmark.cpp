// Sends the same files over a simulated serial line with the terminal's serial control and with
// lrzsz's senders, to lrzsz's receivers, and prints how long each took against the line's
// physical limit.

#include "offscreen.h"
#include "serial_link/sax_comm.h"
#include "testkit/line_simulator.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <optional>

namespace {

struct Protocol
{
    QString name;
    int option;
    std::vector<std::string> receiver;
    std::vector<std::string> lrzszSender;
};

const QList<Protocol> kProtocols {
    { QStringLiteral("ZMODEM"), 3, { "rz", "-b", "-y" }, { "sz", "-b" } },
    { QStringLiteral("YMODEM"), 2, { "rb", "-b", "-y" }, { "sb", "-k" } },
    { QStringLiteral("XMODEM"), 1, { "rx", "-b", "-c", "bench.bin" }, { "sx", "-k" } },
};

// How long a transfer took; empty when it did not finish in time or the file arrived damaged.
using Seconds = std::optional<double>;

QByteArray content(qint64 size)
{
    QRandomGenerator generator(42);
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator.bounded(256));
    return bytes;
}

bool arrivedIntact(const QString& folder, const QByteArray& data, bool padded)
{
    QFile file(folder + QStringLiteral("/bench.bin"));
    if (!file.open(QIODevice::ReadOnly))
        return data.isEmpty() && padded;
    const QByteArray received = file.readAll();
    if (!padded)
        return received == data;
    return received.left(data.size()) == data
        && received.mid(data.size()).count('\x1a') == received.size() - data.size();
}

Seconds runOnce(const Protocol& protocol, const QByteArray& data, const LineOptions& options,
    bool ours, int timeoutSeconds, bool spy)
{
    QTemporaryDir work;
    const QString out = work.filePath(QStringLiteral("out"));
    const QString in = work.filePath(QStringLiteral("in"));
    QDir().mkpath(out);
    QDir().mkpath(in);
    const QString path = out + QStringLiteral("/bench.bin");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return {};
    file.close();

    LineSimulator line(options);
    if (!line.start(protocol.receiver, in.toStdString()))
        return {};
    Seconds seconds;
    QElapsedTimer clock;
    if (ours) {
        QProcessEnvironment environment;
        environment.insert(
            QStringLiteral("ZELVIC_COM1"), QString::fromStdString(line.senderDevice()));
        SaxComm comm(environment);
        comm.setSettings(QStringLiteral("%1,n,8,1").arg(options.baud));
        if (!comm.setPortOpen(true).ok())
            return {};
        comm.setStartupOption(protocol.option);
        if (spy) {
            comm.setCommSpy(true);
            comm.setLogSwitch(LogSwitch::Events, true);
            comm.setLogSwitch(LogSwitch::Warnings, true);
        }
        comm.setFileToSend(path);
        bool success = false;
        QEventLoop loop;
        QObject::connect(&comm, &SaxComm::transferFinished, &loop, [&](bool ok) {
            success = ok;
            loop.quit();
        });
        QTimer::singleShot(timeoutSeconds * 1000, &loop, &QEventLoop::quit);
        clock.start();
        if (!comm.setTransfer(1).ok())
            return {};
        if (comm.transferRunning())
            loop.exec();
        if (!comm.transferRunning() && success)
            seconds = clock.elapsed() / 1000.0;
        comm.abortTransfer(QStringLiteral("out of time"));
        comm.setPortOpen(false);
    } else {
        std::vector<std::string> command = protocol.lrzszSender;
        command.push_back(path.toStdString());
        clock.start();
        if (!line.runSender(command, out.toStdString()))
            return {};
        if (line.waitForSender(timeoutSeconds * 1000))
            seconds = clock.elapsed() / 1000.0;
    }
    line.waitForReceiver(3000);
    line.stop();
    if (!arrivedIntact(in, data, protocol.option == 1))
        seconds.reset();
    return seconds;
}

QString format(Seconds seconds)
{
    return seconds ? QString::number(*seconds, 'f', 2) : QStringLiteral("-");
}

QString ratio(Seconds a, Seconds b)
{
    return a && b && *b > 0 ? QString::number(*a / *b, 'f', 3) : QStringLiteral("-");
}

} // namespace

int main(int argc, char* argv[])
{
    runOffscreenQuietly();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Transfer benchmark over a simulated line"));
    parser.addHelpOption();
    const QCommandLineOption baudOption(QStringLiteral("baud"), QStringLiteral("Line speed."),
        QStringLiteral("baud"), QStringLiteral("9600"));
    const QCommandLineOption protocolsOption(QStringLiteral("protocols"),
        QStringLiteral("Protocols: ZMODEM,YMODEM,XMODEM."), QStringLiteral("list"),
        QStringLiteral("ZMODEM,YMODEM,XMODEM"));
    const QCommandLineOption sizesOption(QStringLiteral("sizes"),
        QStringLiteral("File sizes in bytes."), QStringLiteral("list"),
        QStringLiteral("300,65536"));
    const QCommandLineOption faultsOption(QStringLiteral("flips"),
        QStringLiteral("Line conditions: 0 for a clean line, N for one flipped bit every N bytes."),
        QStringLiteral("list"), QStringLiteral("0,10000,1000"));
    const QCommandLineOption timeoutOption(QStringLiteral("timeout"),
        QStringLiteral("Seconds each transfer may take."), QStringLiteral("seconds"),
        QStringLiteral("400"));
    const QCommandLineOption oursOption(
        QStringLiteral("ours-only"), QStringLiteral("Skip lrzsz's senders."));
    const QCommandLineOption noFlushOption(QStringLiteral("no-flush"),
        QStringLiteral("Let the line ignore the senders' output flushes."));
    const QCommandLineOption spyOption(QStringLiteral("commspy"),
        QStringLiteral("Record our transfers' events and warnings in the CommSpy log."));
    parser.addOptions({ baudOption, protocolsOption, sizesOption, faultsOption, timeoutOption,
        oursOption, noFlushOption, spyOption });
    parser.process(app);

    const int baud = parser.value(baudOption).toInt();
    const int timeout = parser.value(timeoutOption).toInt();
    QTextStream out(stdout);
    out << QStringLiteral("Line: %1 baud, 8N1 (%2 bytes/s), 4 KiB transmit buffer, output "
                          "flushes %3; random file content\n\n")
               .arg(baud)
               .arg(baud / 10)
               .arg(parser.isSet(noFlushOption) ? QStringLiteral("ignored")
                                                : QStringLiteral("honoured"));
    out << QStringLiteral("%1 %2 %3 | %4 %5 | %6 %7 | %8\n")
               .arg(QStringLiteral("protocol"), -8)
               .arg(QStringLiteral("bytes"), 6)
               .arg(QStringLiteral("line"), -12)
               .arg(QStringLiteral("ours s"), 8)
               .arg(QStringLiteral("x limit"), 7)
               .arg(QStringLiteral("lrzsz s"), 8)
               .arg(QStringLiteral("x limit"), 7)
               .arg(QStringLiteral("ours/lrzsz"));
    out.flush();
    for (const QString& name : parser.value(protocolsOption).split(u',')) {
        const auto protocol = std::find_if(kProtocols.begin(), kProtocols.end(),
            [&](const Protocol& p) { return p.name.compare(name, Qt::CaseInsensitive) == 0; });
        if (protocol == kProtocols.end())
            continue;
        for (const QString& size : parser.value(sizesOption).split(u',')) {
            const QByteArray data = content(size.toLongLong());
            const double limit = data.size() * 10.0 / baud;
            for (const QString& flips : parser.value(faultsOption).split(u',')) {
                LineOptions options;
                options.baud = baud;
                options.faults.flipEvery = flips.toInt();
                options.honourFlush = !parser.isSet(noFlushOption);
                const Seconds ours
                    = runOnce(*protocol, data, options, true, timeout, parser.isSet(spyOption));
                const Seconds theirs = parser.isSet(oursOption)
                    ? Seconds {}
                    : runOnce(*protocol, data, options, false, timeout, false);
                const QString condition = options.faults.flipEvery > 0
                    ? QStringLiteral("flip/%1").arg(options.faults.flipEvery)
                    : QStringLiteral("clean");
                out << QStringLiteral("%1 %2 %3 | %4 %5 | %6 %7 | %8\n")
                           .arg(protocol->name, -8)
                           .arg(data.size(), 6)
                           .arg(condition, -12)
                           .arg(format(ours), 8)
                           .arg(ratio(ours, limit), 7)
                           .arg(format(theirs), 8)
                           .arg(ratio(theirs, limit), 7)
                           .arg(ratio(ours, theirs));
                out.flush();
            }
        }
    }
    if (parser.isSet(spyOption))
        out << QStringLiteral("\nCommSpy log: %1").arg(CommSpyLog::defaultPath());
    out << QStringLiteral("\nx limit: time / (bytes x 10 / baud); '-': did not finish in %1 s "
                          "or the file arrived damaged\n")
               .arg(timeout);
    return 0;
}
