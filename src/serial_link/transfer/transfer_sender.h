#pragma once

#include "core/result.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QIODevice;

/// A file as a sender puts it on the line.
struct TransferFile
{
    QString name; ///< the name the receiver is given: a base name, no folders
    QByteArray data;
    qint64 modified = 0; ///< seconds since 1970 UTC
    int mode = 0; ///< Unix mode bits, file type included; 0 when unknown
};

/// Reads the file at path whole. The name given to the receiver is its base name; folders may
/// be separated by '/' or '\'. Fails, saying why, when the file cannot be read.
Result<TransferFile> readTransferFile(const QString& path);

/// How long a sender waits and how often it tries again before it gives up.
struct TransferLimits
{
    int retries = 10; ///< per block, per file position, per header
    int replyTimeoutMs = 10000; ///< for each answer the sender waits for
    int startTimeoutMs = 60000; ///< for the receiver's first answer
};

/// The time a sender runs on: a monotonic reading and single-shot timers. Senders use the
/// system's (QElapsedTimer, QTimer) unless create() is given another, such as a clock that is
/// advanced at will to drive a sender through hours of timeouts in an instant.
class TransferClock
{
public:
    class Timer
    {
    public:
        virtual ~Timer() = default;
        /// (Re)starts the timer: it runs out once, ms from now, unless stopped or started again.
        virtual void start(int ms) = 0;
        virtual void stop() = 0;
        virtual bool isActive() const = 0;
    };

    virtual ~TransferClock() = default;
    virtual qint64 nowMs() const = 0;
    /// A stopped timer that calls timeout each time it runs out.
    virtual std::unique_ptr<Timer> createTimer(std::function<void()> timeout) = 0;
};

/// The protocol the start-up option selects.
enum class TransferProtocol { Plain = 0, Xmodem = 1, Ymodem = 2, Zmodem = 3 };

/// The protocol's name as the status window shows it.
QString protocolName(TransferProtocol protocol);

/// Sends one file over a device, driven by the device's readyRead and bytesWritten signals and
/// by timers: start() returns at once and finished() reports the outcome. The device must stay
/// open while the sender runs; the sender never closes it.
class TransferSender : public QObject
{
    Q_OBJECT

public:
    /// clock: the time the sender runs on, which must outlive it; the system's when none.
    static std::unique_ptr<TransferSender> create(TransferProtocol protocol, QIODevice& device,
        TransferFile file, TransferLimits limits = {}, TransferClock* clock = nullptr);

    /// Starts the session; returns at once. earlierInput: what the receiver sent before the
    /// session began. Only its latest call to start there counts; a cancel or any other answer
    /// there belongs to an earlier session.
    void start(const QByteArray& earlierInput = {});
    /// Ends a running session as failed with this reason, telling the receiver so.
    void cancel(const QString& reason);
    /// Ends a running session as failed because the line is gone: nothing more is sent.
    void lineLost(const QString& reason);

    bool isRunning() const { return m_running; }
    const TransferFile& file() const { return m_file; }
    /// The bytes the receiver has confirmed (for plain bytes: those the device has taken).
    qint64 acknowledged() const { return m_acknowledged; }
    qint64 total() const { return m_file.data.size(); }
    /// The file's name, NUL, its length, modification time and mode (octal), NUL: how the batch
    /// protocols announce a file.
    QByteArray fileAnnouncement() const;
    /// Since start().
    qint64 elapsedMs() const { return m_clock->nowMs() - m_startMs; }

    /// How the sender drops what is queued for the line but not yet sent (a serial port's
    /// output flush). Without it only what the sender holds itself is dropped.
    void setOutputDiscarder(std::function<void()> discard) { m_discard = std::move(discard); }
    /// The line's speed in bytes a second, so the sender can size its packets and keep little
    /// queued; 0 when unknown.
    void setLineRate(int bytesPerSecond) { m_lineRate = bytesPerSecond; }

signals:
    void progress(qint64 acknowledged, qint64 total);
    /// success, and when it failed, why ("no answer", "receiver cancelled", ...).
    void finished(bool success, const QString& reason);
    void dataSent(const QByteArray& bytes);
    void dataReceived(const QByteArray& bytes);
    void protocolEvent(const QString& text);
    void protocolWarning(const QString& text);

protected:
    TransferSender(QIODevice& device, TransferFile file, TransferLimits limits);

    /// Sends what opens the session.
    virtual void begin() = 0;
    virtual void takeInput(QByteArrayView bytes) = 0;
    /// Answers the latest call to start in what the receiver sent before the session began,
    /// and nothing else there.
    virtual void answerEarlierCall(QByteArrayView earlierInput) = 0;
    /// The reply timer ran out.
    virtual void replyTimedOut() = 0;
    /// The device has taken some of what was queued: room for more.
    virtual void outputTaken() { }
    virtual QByteArray cancelSequence() const;

    QIODevice& device() { return m_device; }
    const TransferLimits& limits() const { return m_limits; }
    int lineRate() const { return m_lineRate; }

    /// Queues bytes for the line; false when the device refused them (the sender has then
    /// failed with "port lost").
    bool send(QByteArrayView bytes);
    void discardQueuedOutput();
    /// (Re)starts the wait for the next answer.
    void expectReply(int timeoutMs);
    void expectReply() { expectReply(m_limits.replyTimeoutMs); }
    void stopWaiting() { m_replyTimer->stop(); }
    bool isWaiting() const { return m_replyTimer->isActive(); }
    /// The receiver has answered for the first time: the start limit no longer applies.
    void sessionStarted() { m_startTimer->stop(); }
    void setAcknowledged(qint64 bytes);
    /// Succeeds once the device has sent everything queued.
    void succeedWhenSent();
    /// Fails with this reason after telling the receiver.
    void fail(const QString& reason);

private:
    void runOn(TransferClock& clock);
    void readInput();
    void bytesTaken();
    void finish(bool success, const QString& reason);

    QIODevice& m_device;
    TransferFile m_file;
    TransferLimits m_limits;
    std::function<void()> m_discard;
    int m_lineRate = 0;
    bool m_running = false;
    bool m_draining = false;
    qint64 m_acknowledged = 0;
    std::unique_ptr<TransferClock> m_systemClock;
    TransferClock* m_clock = nullptr;
    qint64 m_startMs = 0;
    std::unique_ptr<TransferClock::Timer> m_replyTimer;
    std::unique_ptr<TransferClock::Timer> m_startTimer;
    QList<QMetaObject::Connection> m_connections;
};
