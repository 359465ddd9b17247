#pragma once

#include "core/result.h"
#include "serial_link/transfer/transfer_sender.h"

#include <QObject>
#include <QString>

#include <memory>

class CommSpy;
class SerialLine;

/// A transfer's time as its observers show it, to a tenth of a second: "1.2 s".
QString transferSeconds(qint64 ms);
/// The rate of the bytes taken so far: "850 bytes/s", or "-" before any time has passed.
QString transferRate(qint64 bytes, qint64 ms);

/// Sends one file at a time over the serial line and tells whoever follows it (the status
/// window, the command line) how it goes. Runs on the event loop: send() returns at once.
class FileTransfer : public QObject
{
    Q_OBJECT

public:
    FileTransfer(SerialLine& line, CommSpy& spy, QObject* parent = nullptr);
    ~FileTransfer() override;

    /// Starts sending the file at path with the protocol. A file that cannot be read or a closed
    /// port fails at once. While a transfer runs, a second one is turned down with a notice and
    /// the running one goes on.
    Result<> send(const QString& path, TransferProtocol protocol);
    /// Starts sending a file already read, under the name it carries; otherwise as above.
    Result<> send(TransferFile file, TransferProtocol protocol);
    bool isRunning() const;
    /// Ends a running transfer as failed with this reason, telling the receiver so.
    void cancel(const QString& reason);

signals:
    void started(const QString& fileName, const QString& protocol, qint64 total);
    void progress(qint64 acknowledged, qint64 total);
    /// The outcome as the user reads it: "Completed: ..." or "Failed: <reason>".
    void finished(bool success, const QString& outcome);
    /// Something for the user beside the outcome: a command turned down, or what to do after a
    /// failure.
    void notice(const QString& text);

private:
    bool turnDownSecondTransfer();
    void ended(bool success, const QString& reason);
    void lineLost();

    SerialLine& m_line;
    CommSpy& m_spy;
    const TransferLimits m_limits; // how long the senders wait and how often they try again
    std::unique_ptr<TransferSender> m_sender;
    bool m_cancelling = false;
};
