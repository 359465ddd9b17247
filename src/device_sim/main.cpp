// A simulated embedded web server on a serial line: it receives the terminal's uploads with
// lrzsz's receivers, applies each settings file, and shows the settings on a status page.

#include "device_sim/device_state.h"
#include "device_sim/line_endpoint.h"
#include "device_sim/status_page.h"
#include "device_sim/upload_receiver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

void say(const QString& line)
{
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

QString describe(const UploadReport& report, const QString& verdict)
{
    return u"upload: %1 bytes, %2, %3 s, %4"_s.arg(QString::number(report.bytes.size()),
        protocolName(report.protocol), QString::number(report.milliseconds / 1000.0, 'f', 2),
        verdict);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"zelvic-device-sim"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"A simulated Lumo Brisk WEB server: receives settings uploads on a serial line and "
        "serves them on a status page."_s);
    parser.addHelpOption();
    const QCommandLineOption protocolOption(u"protocol"_s,
        u"The transfer protocol: 0 plain, 1 XMODEM, 2 YMODEM, 3 ZMODEM (the terminal's "
        "start-up option; default 3)."_s,
        u"protocol"_s, u"3"_s);
    const QCommandLineOption portOption(u"http-port"_s,
        u"The status page's port on 127.0.0.1 (default 80, else any free port)."_s, u"port"_s);
    const QCommandLineOption linkOption(
        u"link"_s, u"Also make a symbolic link at this path to the terminal's side."_s, u"path"_s);
    const QCommandLineOption keepOption(u"keep"_s,
        u"Keep every file that arrives in this folder, as upload-1.ini, upload-2.ini..."_s,
        u"folder"_s);
    const QCommandLineOption timeoutOption(u"receiver-timeout"_s,
        u"Seconds a receiver waits for an upload to begin before it gives up and is started "
        "again (default: the receiver's own limit, about 50 s for rz, 110 s for rb and 140 s "
        "for rx)."_s,
        u"seconds"_s);
    parser.addOptions({ protocolOption, portOption, linkOption, keepOption, timeoutOption });
    parser.addPositionalArgument(u"device"_s,
        u"A serial device to listen on instead of a new pseudo-terminal."_s, u"[device]"_s);
    parser.process(app);

    const std::optional<UploadProtocol> protocol = protocolFromText(parser.value(protocolOption));
    if (!protocol) {
        say(u"error: unknown protocol %1: give 0, 1, 2 or 3"_s.arg(parser.value(protocolOption)));
        return 2;
    }

    int giveUpMs = 0;
    if (parser.isSet(timeoutOption)) {
        bool valid = false;
        const double seconds = parser.value(timeoutOption).toDouble(&valid);
        if (!valid || seconds <= 0 || seconds > 86400) {
            say(u"error: --receiver-timeout takes seconds, more than 0 and up to 86400"_s);
            return 2;
        }
        giveUpMs = qRound(seconds * 1000);
    }

    const QStringList devices = parser.positionalArguments();
    Result<std::unique_ptr<LineEndpoint>> opened = devices.isEmpty()
        ? LineEndpoint::openPseudoTerminal()
        : LineEndpoint::openDevice(devices.first());
    if (!opened.ok()) {
        say(u"error: "_s + opened.error());
        return 1;
    }
    const std::unique_ptr<LineEndpoint> line = std::move(opened).value();
    if (parser.isSet(linkOption)) {
        const QString link = parser.value(linkOption);
        QFile::remove(link);
        if (!QFile::link(line->terminalSidePath(), link)) {
            say(u"error: cannot make the link %1"_s.arg(link));
            return 1;
        }
    }

    DeviceState state;
    QHttpServer http;
    http.route(u"/"_s, [&state] {
        return QHttpServerResponse("text/html; charset=utf-8", renderStatusPage(state).toUtf8());
    });
    quint16 httpPort = 0;
    if (parser.isSet(portOption)) {
        httpPort = http.listen(QHostAddress::LocalHost, parser.value(portOption).toUShort());
    } else {
        httpPort = http.listen(QHostAddress::LocalHost, 80);
        if (httpPort == 0)
            httpPort = http.listen(QHostAddress::LocalHost, 0);
    }
    if (httpPort == 0) {
        say(u"error: cannot serve the status page on 127.0.0.1"_s);
        return 1;
    }

    QTemporaryDir folder;
    UploadReceiver receiver(*line, *protocol, folder.path(), giveUpMs);
    QObject::connect(&receiver, &UploadReceiver::receiverGaveUp, [&receiver](qint64 waitedMs) {
        say(u"receiver: %1 gave up after %2 s with no upload; starting it again"_s.arg(
            receiver.receiverProgram(), QString::number(waitedMs / 1000.0, 'f', 1)));
    });
    QObject::connect(&receiver, &UploadReceiver::receiverReady,
        [&receiver] { say(u"receiver: %1 ready again"_s.arg(receiver.receiverProgram())); });
    const QString keepFolder = parser.value(keepOption);
    int arrived = 0;
    QObject::connect(&receiver, &UploadReceiver::uploadEnded, [&](const UploadReport& report) {
        if (!report.received) {
            say(describe(report, u"failed: "_s + report.error));
            return;
        }
        if (!keepFolder.isEmpty()) {
            QFile kept(u"%1/upload-%2.ini"_s.arg(keepFolder).arg(++arrived));
            if (!kept.open(QIODevice::WriteOnly) || kept.write(report.bytes) != report.bytes.size())
                say(u"warning: cannot keep %1: %2"_s.arg(kept.fileName(), kept.errorString()));
        }
        Result<ServerSettings> settings = parseUploadedSettings(report.bytes);
        if (!settings.ok()) {
            say(describe(report, u"rejected, not a settings file: "_s + settings.error()));
            return;
        }
        state.settings = std::move(settings).value();
        state.lastUpload = QDateTime::currentDateTime();
        ++state.uploads;
        say(describe(report, u"applied"_s));
    });
    receiver.start();

    say(u"COM1: "_s + line->terminalSidePath());
    say(u"protocol: "_s + protocolName(*protocol));
    say(u"status page: http://127.0.0.1:%1/"_s.arg(httpPort));
    return QCoreApplication::exec();
}
