#include "app/command_line_upload.h"

#include "core/settings_string.h"
#include "serial_link/file_transfer.h"
#include "settings_file/settings_format.h"

#include <QBuffer>
#include <QSerialPort>
#include <QTextStream>

#include <utility>

namespace {

// The name the server takes the settings under, whatever the file is called here.
constexpr QStringView kServerFileName = u"server.ini";
// How long the cancel sequence of a failed transfer may take to leave before the port closes.
constexpr int kDrainMs = 2000;

} // namespace

CommandLineUpload::CommandLineUpload(UploadOptions options, DeviceSources devices, QTextStream& out,
    QTextStream& err, bool errIsTerminal, QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_out(out)
    , m_err(err)
    , m_comm(std::move(devices))
    , m_console(m_comm.transfer(), err, errIsTerminal)
{
    connect(&m_comm.transfer(), &FileTransfer::started, this, [this] { m_clock.start(); });
    connect(&m_comm.transfer(), &FileTransfer::finished, this, [this](bool success) {
        m_success = success;
        // After the notice that follows the outcome, which reads the port's state.
        QMetaObject::invokeMethod(this, &CommandLineUpload::finish, Qt::QueuedConnection);
    });
}

bool CommandLineUpload::start()
{
    const auto refuse = [this](const QString& message) {
        m_err << message << '\n' << Qt::flush;
        return false;
    };
    if (!IsValidSettingsString(m_options.settings))
        return refuse(QStringLiteral("Illegal SETTINGS string \"%1\": give the baud rate, parity, "
                                     "data bits and stop bits, as in 9600,n,8,1.")
                          .arg(m_options.settings));
    if (m_options.protocol < 0 || m_options.protocol > 3)
        return refuse(QStringLiteral("Protocol %1 is unknown: give 0 (plain bytes), 1 (XMODEM), "
                                     "2 (YMODEM) or 3 (ZMODEM).")
                          .arg(m_options.protocol));
    Result<TransferFile> file = readSettingsFile();
    if (!file.ok())
        return refuse(file.error());
    m_size = file->data.size();
    if (Result<> opened = openPort(); !opened.ok())
        return refuse(opened.error());
    if (Result<> sending = m_comm.sendFile(std::move(file).value()); !sending.ok()) {
        m_comm.setPortOpen(false);
        return refuse(sending.error());
    }
    return true;
}

void CommandLineUpload::cancel(const QString& reason)
{
    m_comm.abortTransfer(reason);
}

Result<TransferFile> CommandLineUpload::readSettingsFile() const
{
    Result<TransferFile> file = readTransferFile(m_options.file);
    if (!file.ok())
        return Failure { file.error() + QStringLiteral(" Give the path of a settings file.") };
    QBuffer buffer(&file.value().data);
    buffer.open(QIODevice::ReadOnly);
    bool recognised = false;
    const Result<> read
        = readSettings(buffer, [&](const SettingsAssignment&) { recognised = true; });
    if (!read.ok() || !recognised)
        return Failure { QStringLiteral("\"%1\" is not a settings file: %2 Upload a file saved "
                                        "with the terminal (File, Save).")
                             .arg(m_options.file,
                                 read.ok()
                                     ? QStringLiteral("the terminal recognises no setting in it.")
                                     : read.error()) };
    file.value().name = kServerFileName.toString();
    return file;
}

Result<> CommandLineUpload::openPort()
{
    // The order of the RS232 dialog and of start-up: the line is set, then the port opened.
    if (Result<> set = m_comm.setSettings(m_options.settings); !set.ok())
        return set;
    if (Result<> named = m_comm.setCommPort(m_options.port); !named.ok())
        return named;
    m_comm.setStartupOption(m_options.protocol);
    return m_comm.setPortOpen(true);
}

void CommandLineUpload::finish()
{
    // A failed transfer has queued the cancel sequence for the receiver; it leaves before the
    // port closes. Nothing else waits here: there is no window to keep alive.
    QSerialPort& port = m_comm.port();
    if (port.isOpen() && port.bytesToWrite() > 0)
        port.waitForBytesWritten(kDrainMs);
    m_comm.setPortOpen(false);
    if (m_success)
        m_out << QStringLiteral("%1: sent as %2, %3 bytes, %4, %5")
                     .arg(m_options.file, kServerFileName)
                     .arg(m_size)
                     .arg(protocolName(static_cast<TransferProtocol>(m_options.protocol)))
                     .arg(transferSeconds(m_clock.elapsed()))
              << '\n'
              << Qt::flush;
    emit ended(m_success ? UploadExit::Sent : UploadExit::Failed);
}
