#include "serial_link/file_transfer.h"

#include "serial_link/comm_spy.h"
#include "serial_link/serial_line.h"

#include <QScopedValueRollback>

#include <utility>

QString transferSeconds(qint64 ms)
{
    return QStringLiteral("%1 s").arg(double(ms) / 1000.0, 0, 'f', 1);
}

QString transferRate(qint64 bytes, qint64 ms)
{
    return ms > 0 ? QStringLiteral("%1 bytes/s").arg(bytes * 1000 / ms) : QStringLiteral("-");
}

FileTransfer::FileTransfer(SerialLine& line, CommSpy& spy, QObject* parent)
    : QObject(parent)
    , m_line(line)
    , m_spy(spy)
{
    connect(&m_line, &SerialLine::lost, this, &FileTransfer::lineLost);
}

// The sender goes before the line it uses.
FileTransfer::~FileTransfer() = default;

bool FileTransfer::isRunning() const
{
    return m_sender && m_sender->isRunning();
}

bool FileTransfer::turnDownSecondTransfer()
{
    if (!isRunning())
        return false;
    const QString refusal
        = QStringLiteral("A second transfer command was turned down: %1 is still being sent.")
              .arg(m_sender->file().name);
    m_spy.log(LogSwitch::Warnings, refusal);
    emit notice(refusal);
    return true;
}

Result<> FileTransfer::send(const QString& path, TransferProtocol protocol)
{
    // Checked before the file is read, so that a refused command costs no reading.
    if (turnDownSecondTransfer())
        return {};
    if (!m_line.isOpen())
        return Failure { QStringLiteral("Serial port %1 is closed: the file cannot be sent.")
                             .arg(m_line.portName()) };
    Result<TransferFile> file = readTransferFile(path);
    if (!file.ok()) {
        m_spy.log(LogSwitch::Warnings, file.error());
        return Failure { file.error() };
    }
    return send(std::move(file).value(), protocol);
}

Result<> FileTransfer::send(TransferFile file, TransferProtocol protocol)
{
    if (turnDownSecondTransfer())
        return {};
    if (!m_line.isOpen())
        return Failure { QStringLiteral("Serial port %1 is closed: the file cannot be sent.")
                             .arg(m_line.portName()) };

    const QString name = file.name;
    const qint64 size = file.data.size();
    m_sender = TransferSender::create(protocol, m_line.port(), std::move(file), m_limits);
    m_sender->setLineRate(m_line.characterRate());
    m_sender->setOutputDiscarder([this] { m_line.port().clear(QSerialPort::Output); });
    TransferSender* sender = m_sender.get();
    connect(sender, &TransferSender::progress, this, &FileTransfer::progress);
    connect(sender, &TransferSender::finished, this, &FileTransfer::ended);
    connect(sender, &TransferSender::dataSent, this,
        [this](const QByteArray& bytes) { m_spy.logBytes(LogSwitch::Output, bytes); });
    connect(sender, &TransferSender::dataReceived, this,
        [this](const QByteArray& bytes) { m_spy.logBytes(LogSwitch::Input, bytes); });
    connect(sender, &TransferSender::protocolEvent, this,
        [this](const QString& text) { m_spy.log(LogSwitch::Events, text); });
    connect(sender, &TransferSender::protocolWarning, this,
        [this](const QString& text) { m_spy.log(LogSwitch::Warnings, text); });

    m_spy.log(LogSwitch::Events,
        QStringLiteral("Sending %1 (%2 bytes) with %3")
            .arg(name)
            .arg(size)
            .arg(protocolName(protocol)));
    emit started(name, protocolName(protocol), size);
    m_line.setTransferActive(true);
    sender->start(m_line.takeIdleInput());
    return {};
}

void FileTransfer::cancel(const QString& reason)
{
    if (!isRunning())
        return;
    m_spy.log(LogSwitch::Events, QStringLiteral("Transfer cancelled: %1").arg(reason));
    const QScopedValueRollback cancelling(m_cancelling, true);
    m_sender->cancel(reason);
}

void FileTransfer::lineLost()
{
    if (isRunning())
        m_sender->lineLost(QStringLiteral("port lost"));
}

void FileTransfer::ended(bool success, const QString& reason)
{
    m_line.setTransferActive(false);
    TransferSender* sender = m_sender.get();
    const QString outcome = success ? QStringLiteral("Completed: %1 bytes in %2")
                                          .arg(sender->total())
                                          .arg(transferSeconds(sender->elapsedMs()))
                                    : QStringLiteral("Failed: %1").arg(reason);
    m_spy.log(success ? LogSwitch::Events : LogSwitch::Warnings,
        QStringLiteral("Transfer %1").arg(outcome));
    // The sender is in the middle of emitting; it goes when control returns to the event loop.
    m_sender.release()->deleteLater();
    emit finished(success, outcome);
    // A transfer that failed by itself, not by a request to stop it: what the user can do.
    if (!success && !m_cancelling)
        emit notice(m_line.isOpen()
                ? QStringLiteral("Check that the server is connected, switched on and ready, "
                                 "then press Write again.")
                : QStringLiteral("Serial port %1 is gone: reconnect the cable or adapter, then "
                                 "open the port again under Settings, RS232 Port Setup.")
                      .arg(m_line.portName()));
}
