#include "app/command_line.h"

#include "app/command_line_upload.h"
#include "app/termination_signals.h"
#include "platform/device_choices_posix.h"
#include "platform/serial_port_list_posix.h"
#include "windows/frm_about.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>

#include <unistd.h>

namespace {

const QString kDescription = QStringLiteral(
    "Lumo Brisk Terminal: without options, the window to edit the server's settings.\n"
    "\n"
    "zelvic --upload FILE sends a settings file to the server over the serial line without a "
    "window or display, as the Write button does: under the name server.ini, whatever FILE is "
    "called. FILE is read with the terminal's own settings reader first and refused when it "
    "holds no setting.\n"
    "Progress and the outcome go to standard error, a summary of a completed upload to "
    "standard output. SIGINT (Ctrl+C) and SIGTERM cancel the transfer.\n"
    "\n"
    "Exit status: 0 the server confirmed the whole file; 1 the transfer failed or was "
    "cancelled; 2 refused before the transfer (usage, the file, the settings string, the "
    "port).");

int refuseUsage(const QString& message)
{
    QTextStream(stderr) << message << "\nSee zelvic --help for the options.\n";
    return int(UploadExit::Refused);
}

} // namespace

bool wantsCommandLine(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView argument(argv[i]);
        if (argument == "--upload" || argument.startsWith("--upload=") || argument == "--help"
            || argument == "-h" || argument == "--version" || argument == "-v")
            return true;
    }
    return false;
}

int runCommandLine(int argc, char* argv[])
{
    // No QApplication: no platform plugin is loaded, so no display is needed.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelvic"));
    QCoreApplication::setApplicationVersion(QString::fromUtf16(frmAbout::kVersion));

    const UploadOptions defaults;
    QCommandLineParser parser;
    parser.setApplicationDescription(kDescription);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption upload(QStringLiteral("upload"),
        QStringLiteral("Send FILE to the server as server.ini."), QStringLiteral("FILE"));
    const QCommandLineOption port(QStringLiteral("port"),
        QStringLiteral("COM1 or COM2 (the device chosen in the terminal's RS232 dialog, else "
                       "the first or second USB serial adapter; ZELVIC_COM1 or ZELVIC_COM2 name "
                       "another), or a device path. Default: %1.")
            .arg(defaults.port),
        QStringLiteral("NAME"), defaults.port);
    const QCommandLineOption settings(QStringLiteral("settings"),
        QStringLiteral("The port settings: baud rate, parity, data bits, stop bits. Default: %1.")
            .arg(defaults.settings),
        QStringLiteral("STRING"), defaults.settings);
    const QCommandLineOption protocol(QStringLiteral("protocol"),
        QStringLiteral("0 plain bytes, 1 XMODEM, 2 YMODEM, 3 ZMODEM. Default: %1.")
            .arg(defaults.protocol),
        QStringLiteral("N"), QString::number(defaults.protocol));
    parser.addOptions({ upload, port, settings, protocol });

    if (!parser.parse(QCoreApplication::arguments()))
        return refuseUsage(parser.errorText());
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (!parser.positionalArguments().isEmpty())
        return refuseUsage(QStringLiteral("Unexpected argument \"%1\": the file to send follows "
                                          "--upload.")
                               .arg(parser.positionalArguments().first()));
    bool isNumber = false;
    UploadOptions options { parser.value(upload), parser.value(port), parser.value(settings),
        parser.value(protocol).toInt(&isNumber) };
    if (!isNumber)
        return refuseUsage(QStringLiteral("Protocol \"%1\" is not a number: give 0 (plain bytes), "
                                          "1 (XMODEM), 2 (YMODEM) or 3 (ZMODEM).")
                               .arg(parser.value(protocol)));

    QTextStream out(stdout);
    QTextStream err(stderr);
    // The choices of the terminal's window are read, never written: only its dialog keeps one.
    const PosixSerialPortList serialPorts;
    PosixDeviceChoices deviceChoices;
    CommandLineUpload uploader(std::move(options),
        { QProcessEnvironment::systemEnvironment(), &serialPorts, &deviceChoices }, out, err,
        ::isatty(STDERR_FILENO) == 1);
    // Caught before the port opens, so that no way out leaves a transfer unended.
    TerminationSignals termination;
    termination.catchSignals({ SIGINT, SIGTERM });
    QObject::connect(&termination, &TerminationSignals::received, &uploader,
        [&uploader] { uploader.cancel(QStringLiteral("cancelled by signal")); });
    QObject::connect(&uploader, &CommandLineUpload::ended, &app,
        [](UploadExit status) { QCoreApplication::exit(int(status)); });
    if (!uploader.start())
        return int(UploadExit::Refused);
    return QCoreApplication::exec();
}
