#pragma once

#include "app/transfer_console.h"
#include "serial_link/sax_comm.h"
#include "serial_link/transfer/transfer_sender.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>

class QTextStream;

/// What `zelvic --upload` is given.
struct UploadOptions
{
    QString file; ///< the settings file to send, under any local name
    QString port = QStringLiteral("COM1"); ///< a port name or a device path
    QString settings = QStringLiteral("9600,n,8,1");
    int protocol = 3; ///< the serial control's start-up option
};

/// How `zelvic --upload` ends.
enum class UploadExit { Sent = 0, Failed = 1, Refused = 2 };

/// Sends one settings file to the server from the command line, without a window: the file is
/// read and checked with the terminal's own settings reader before the port is touched, then the
/// serial control sends it as "server.ini", the name the server takes. The progress and outcome
/// go to the error stream, the summary of a completed upload to the output stream.
class CommandLineUpload : public QObject
{
    Q_OBJECT

public:
    /// errIsTerminal: the error stream is a terminal's, where progress rewrites one line.
    /// devices: the port name is mapped as the terminal's window maps it.
    CommandLineUpload(UploadOptions options, DeviceSources devices, QTextStream& out,
        QTextStream& err, bool errIsTerminal, QObject* parent = nullptr);

    /// Checks the file and the settings, opens the port and starts the transfer; returns at once.
    /// false when something was refused before the transfer (said on the error stream):
    /// UploadExit::Refused. Otherwise ended() follows.
    bool start();
    /// Ends a running transfer as failed with this reason, telling the receiver so.
    void cancel(const QString& reason);

signals:
    /// The transfer has ended and the port is closed.
    void ended(UploadExit status);

private:
    Result<TransferFile> readSettingsFile() const;
    Result<> openPort();
    void finish();

    UploadOptions m_options;
    QTextStream& m_out;
    QTextStream& m_err;
    SaxComm m_comm;
    TransferConsole m_console;
    QElapsedTimer m_clock;
    bool m_success = false;
    qint64 m_size = 0;
};
