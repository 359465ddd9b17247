#include "serial_link/transfer/transfer_sender.h"

#include "serial_link/transfer/plain_sender.h"
#include "serial_link/transfer/xmodem_sender.h"
#include "serial_link/transfer/zmodem_sender.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

int unixMode(QFileDevice::Permissions permissions)
{
    constexpr int kRegularFile = 0100000;
    const std::pair<QFileDevice::Permission, int> bits[] = {
        { QFileDevice::ReadOwner, 0400 },
        { QFileDevice::WriteOwner, 0200 },
        { QFileDevice::ExeOwner, 0100 },
        { QFileDevice::ReadGroup, 040 },
        { QFileDevice::WriteGroup, 020 },
        { QFileDevice::ExeGroup, 010 },
        { QFileDevice::ReadOther, 04 },
        { QFileDevice::WriteOther, 02 },
        { QFileDevice::ExeOther, 01 },
    };
    int mode = kRegularFile;
    for (const auto& [permission, bit] : bits)
        if (permissions.testFlag(permission))
            mode |= bit;
    return mode;
}

// The system's time: the monotonic clock, and QTimer run by the thread's event loop.
class SystemClock final : public TransferClock
{
public:
    SystemClock() { m_elapsed.start(); }

    qint64 nowMs() const override { return m_elapsed.elapsed(); }
    std::unique_ptr<Timer> createTimer(std::function<void()> timeout) override
    {
        return std::make_unique<SystemTimer>(std::move(timeout));
    }

private:
    class SystemTimer final : public Timer
    {
    public:
        explicit SystemTimer(std::function<void()> timeout)
        {
            m_timer.setSingleShot(true);
            QObject::connect(&m_timer, &QTimer::timeout, std::move(timeout));
        }

        void start(int ms) override { m_timer.start(ms); }
        void stop() override { m_timer.stop(); }
        bool isActive() const override { return m_timer.isActive(); }

    private:
        QTimer m_timer;
    };

    QElapsedTimer m_elapsed;
};

} // namespace

Result<TransferFile> readTransferFile(const QString& path)
{
    if (path.isEmpty()) {
        return Failure { QStringLiteral("No file to send has been named.") };
    }
    QString localPath = path;
    // The upload names its file with a '\' before the name, as on the system it comes from.
    if (!QFileInfo::exists(localPath) && localPath.contains(u'\\'))
        localPath.replace(u'\\', u'/');
    const QFileInfo info(localPath);
    if (!info.exists()) {
        return Failure { QStringLiteral("The file to send, \"%1\", does not exist.").arg(path) };
    }
    if (info.isDir()) {
        return Failure { QStringLiteral("The file to send, \"%1\", is a folder.").arg(path) };
    }
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return Failure { QStringLiteral("The file to send, \"%1\", cannot be read: %2.")
                             .arg(path, file.errorString()) };
    }
    TransferFile result;
    result.data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return Failure { QStringLiteral("The file to send, \"%1\", cannot be read: %2.")
                             .arg(path, file.errorString()) };
    }
    const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    result.name = path.mid(slash + 1);
    result.modified = info.lastModified().toSecsSinceEpoch();
    result.mode = unixMode(info.permissions());
    return result;
}

QString protocolName(TransferProtocol protocol)
{
    switch (protocol) {
    case TransferProtocol::Xmodem:
        return QStringLiteral("XMODEM");
    case TransferProtocol::Ymodem:
        return QStringLiteral("YMODEM");
    case TransferProtocol::Zmodem:
        return QStringLiteral("ZMODEM");
    case TransferProtocol::Plain:
        break;
    }
    return QStringLiteral("plain bytes");
}

std::unique_ptr<TransferSender> TransferSender::create(TransferProtocol protocol, QIODevice& device,
    TransferFile file, TransferLimits limits, TransferClock* clock)
{
    std::unique_ptr<TransferSender> sender;
    switch (protocol) {
    case TransferProtocol::Xmodem:
        sender = std::make_unique<XmodemSender>(
            device, std::move(file), limits, XmodemSender::Variant::Xmodem);
        break;
    case TransferProtocol::Ymodem:
        sender = std::make_unique<XmodemSender>(
            device, std::move(file), limits, XmodemSender::Variant::Ymodem);
        break;
    case TransferProtocol::Zmodem:
        sender = std::make_unique<ZmodemSender>(device, std::move(file), limits);
        break;
    case TransferProtocol::Plain:
        sender = std::make_unique<PlainSender>(device, std::move(file), limits);
        break;
    }
    if (clock)
        sender->runOn(*clock);
    return sender;
}

TransferSender::TransferSender(QIODevice& device, TransferFile file, TransferLimits limits)
    : m_device(device)
    , m_file(std::move(file))
    , m_limits(limits)
    , m_systemClock(std::make_unique<SystemClock>())
{
    runOn(*m_systemClock);
}

void TransferSender::runOn(TransferClock& clock)
{
    m_clock = &clock;
    m_replyTimer = clock.createTimer([this] {
        if (m_draining)
            finish(true, {});
        else
            replyTimedOut();
    });
    m_startTimer = clock.createTimer([this] { fail(QStringLiteral("no answer")); });
    if (m_clock != m_systemClock.get())
        m_systemClock.reset();
}

void TransferSender::start(const QByteArray& earlierInput)
{
    if (m_running)
        return;
    m_running = true;
    m_startMs = m_clock->nowMs();
    m_connections = {
        connect(&m_device, &QIODevice::readyRead, this, &TransferSender::readInput),
        connect(&m_device, &QIODevice::bytesWritten, this, &TransferSender::bytesTaken),
    };
    m_startTimer->start(m_limits.startTimeoutMs);
    begin();
    if (m_running && !earlierInput.isEmpty())
        answerEarlierCall(earlierInput);
    if (m_running && m_device.bytesAvailable() > 0)
        readInput();
}

void TransferSender::cancel(const QString& reason)
{
    if (m_running)
        fail(reason);
}

void TransferSender::lineLost(const QString& reason)
{
    if (m_running)
        finish(false, reason);
}

QByteArray TransferSender::cancelSequence() const
{
    return QByteArray(8, '\x18') + QByteArray(10, '\b');
}

bool TransferSender::send(QByteArrayView bytes)
{
    if (!m_running)
        return false;
    const QByteArray data = bytes.toByteArray();
    emit dataSent(data);
    if (m_device.write(data) != data.size()) {
        emit protocolWarning(
            QStringLiteral("The line refused the data: %1").arg(m_device.errorString()));
        finish(false, QStringLiteral("port lost"));
        return false;
    }
    return true;
}

void TransferSender::discardQueuedOutput()
{
    if (m_discard)
        m_discard();
}

void TransferSender::expectReply(int timeoutMs)
{
    // A send that failed has ended the session on the way here: nothing is awaited any more.
    if (m_running)
        m_replyTimer->start(timeoutMs);
}

void TransferSender::setAcknowledged(qint64 bytes)
{
    if (bytes == m_acknowledged)
        return;
    m_acknowledged = bytes;
    emit progress(m_acknowledged, total());
}

void TransferSender::succeedWhenSent()
{
    m_draining = true;
    m_startTimer->stop();
    if (m_device.bytesToWrite() == 0)
        finish(true, {});
    else
        expectReply();
}

void TransferSender::fail(const QString& reason)
{
    if (!m_running)
        return;
    discardQueuedOutput();
    const QByteArray cancel = cancelSequence();
    if (!cancel.isEmpty())
        send(cancel);
    if (m_running) {
        emit protocolWarning(QStringLiteral("Transfer failed: %1").arg(reason));
        finish(false, reason);
    }
}

void TransferSender::readInput()
{
    const QByteArray bytes = m_device.readAll();
    if (bytes.isEmpty() || !m_running)
        return;
    emit dataReceived(bytes);
    if (!m_draining)
        takeInput(bytes);
}

void TransferSender::bytesTaken()
{
    if (!m_running)
        return;
    if (m_draining) {
        if (m_device.bytesToWrite() == 0)
            finish(true, {});
        return;
    }
    outputTaken();
}

void TransferSender::finish(bool success, const QString& reason)
{
    m_running = false;
    m_draining = false;
    m_replyTimer->stop();
    m_startTimer->stop();
    for (const QMetaObject::Connection& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    if (success)
        setAcknowledged(total());
    emit finished(success, reason);
}

QByteArray TransferSender::fileAnnouncement() const
{
    QByteArray info = QFile::encodeName(m_file.name);
    info += '\0';
    info += QByteArray::number(total());
    info += ' ';
    info += QByteArray::number(m_file.modified, 8);
    if (m_file.mode != 0) {
        info += ' ';
        info += QByteArray::number(m_file.mode, 8);
    }
    info += '\0';
    return info;
}
