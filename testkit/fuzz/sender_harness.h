#pragma once

// A sender on a simulated line, fed what a receiver sends, with time that passes only when the
// harness moves it on. The input's first bytes choose the limits, the file and the line; the
// rest is what the receiver sends, in chunks, each after a pause:
//   0: retries (0-10)      1: reply time (0.5-10 s) and start time (1-8 reply times)
//   2-3: file size (0-8999) 4: file contents (zeros, bytes the protocols escape, random, a ramp)
//   5: line speed (stalled to 1 MB/s), output flush, speed told to the sender, failing writes
//   6: bytes written before the writes fail (x64)
//   7: bytes the receiver sent before the start (low three bits); whether the session is then
//      cancelled or its line lost once the receiver falls silent (the next two)
//   then chunks: a byte (pause: high four bits; length - 1: low four bits) and the chunk.
// Whatever it is fed, the sender must end, succeeded or failed, within its limits after the
// receiver falls silent, write a bounded amount, and be silent once it has ended.

#include "fuzz_check.h"
#include "serial_link/transfer/transfer_sender.h"
#include "testkit/virtual_clock.h"

#include <QIODevice>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

namespace {

// The line: what the receiver sent waits to be read; what the sender writes is queued and
// taken at the line's speed.
class FakeLine final : public QIODevice
{
public:
    FakeLine() { open(QIODevice::ReadWrite | QIODevice::Unbuffered); }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_input.size() + QIODevice::bytesAvailable(); }
    qint64 bytesToWrite() const override { return m_queued; }

    void deliver(QByteArrayView bytes)
    {
        m_input.append(bytes);
        emit readyRead();
    }
    void take(qint64 bytes)
    {
        bytes = std::min(bytes, m_queued);
        m_queued -= bytes;
        if (bytes > 0)
            emit bytesWritten(bytes);
    }
    void discardQueued() { m_queued = 0; }

    std::optional<qint64> failAfter; ///< writes fail once this many bytes are written
    std::function<qint64()> writeBound; ///< the most the sender may have written so far
    bool senderFinished = false;
    bool recording = false;
    QByteArray record;

protected:
    qint64 readData(char* to, qint64 max) override
    {
        const qint64 n = std::min<qint64>(max, m_input.size());
        std::copy_n(m_input.constData(), n, to);
        m_input.remove(0, n);
        return n;
    }
    qint64 writeData(const char* from, qint64 n) override
    {
        FUZZ_CHECK(!senderFinished, "the sender writes after it has finished");
        if (failAfter && m_written + n > *failAfter) {
            setErrorString("Input/output error");
            return -1;
        }
        m_written += n;
        m_queued += n;
        if (recording)
            record.append(from, n);
        FUZZ_CHECK(m_written <= writeBound(), "the sender writes without bound");
        return n;
    }

private:
    QByteArray m_input;
    qint64 m_queued = 0;
    qint64 m_written = 0;
};

class Input
{
public:
    Input(const uint8_t* data, size_t size)
        : m_data(data)
        , m_size(size)
    { }

    bool atEnd() const { return m_at >= m_size; }
    uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    QByteArray bytes(size_t n)
    {
        n = std::min(n, m_size - std::min(m_at, m_size));
        const QByteArray b(reinterpret_cast<const char*>(m_data + m_at), qsizetype(n));
        m_at += n;
        return b;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

QByteArray fileContents(qsizetype size, uint8_t kind)
{
    // What the ZMODEM escaper and the block padding deal with.
    static constexpr uint8_t kSpecial[]
        = { 0x18, 0x10, 0x90, 0x11, 0x91, 0x13, 0x93, 0x40, 0x0D, 0xC0, 0x8D, 0x7F, 0xFF, 0x1A };
    QByteArray data(size, '\0');
    quint32 state = 2463534242U + kind;
    for (qsizetype i = 0; i < size; ++i) {
        switch (kind % 4) {
        case 0:
            break;
        case 1:
            data[i] = char(kSpecial[size_t(i) % std::size(kSpecial)]);
            break;
        case 2:
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            data[i] = char(state);
            break;
        case 3:
            data[i] = char(i);
            break;
        }
    }
    return data;
}

int fuzzSender(TransferProtocol protocol, const uint8_t* data, size_t size)
{
    static constexpr qint64 kRates[] = { 0, 1, 2, 4, 12, 48, 100, 1000 }; // bytes per ms
    static constexpr qint64 kPauses[]
        = { 0, 1, 10, 50, 100, 250, 500, 1000, 2000, 3000, 5000, 8000, 10000, 15000, 30000, 60000 };
    constexpr qint64 kTickMs = 10;

    Input input(data, size);
    TransferLimits limits;
    limits.retries = input.byte() % 11;
    const uint8_t times = input.byte();
    limits.replyTimeoutMs = 500 * (1 + times % 20);
    limits.startTimeoutMs = limits.replyTimeoutMs * (1 + times / 20 % 8);
    const uint8_t sizeLow = input.byte(); // read in turn: the operands of | are not sequenced
    const qsizetype fileSize = (sizeLow | input.byte() << 8) % 9000;
    const QByteArray contents = fileContents(fileSize, input.byte());
    const uint8_t lineByte = input.byte();
    const qint64 rate = kRates[lineByte % 8];
    const bool flushes = (lineByte & 0x08) != 0;
    const bool rateTold = (lineByte & 0x10) != 0;
    const uint8_t failUnits = input.byte();
    const uint8_t startByte = input.byte();
    const QByteArray earlier = input.bytes(startByte % 8);
    const int ending = startByte >> 3 & 3;

    VirtualClock clock;
    FakeLine line;
    if (lineByte & 0x20)
        line.failAfter = 64 * qint64(failUnits);
    line.recording = protocol == TransferProtocol::Plain;
    qint64 delivered = earlier.size();
    // Each byte from the receiver and each timeout may cost the file again, escaped and framed.
    line.writeBound = [&] { return (delivered + clock.fired() + 2) * (3 * fileSize + 4096); };

    std::unique_ptr<TransferSender> sender = TransferSender::create(
        protocol, line, TransferFile { "fuzz.bin", contents, 1700000000, 0100644 }, limits, &clock);
    if (flushes)
        sender->setOutputDiscarder([&line] { line.discardQueued(); });
    if (rateTold)
        sender->setLineRate(int(rate * 1000));
    int finishedCount = 0;
    bool succeeded = false;
    QObject::connect(sender.get(), &TransferSender::finished, [&](bool success, const QString&) {
        ++finishedCount;
        succeeded = success;
        line.senderFinished = true;
        FUZZ_CHECK(!sender->isRunning(), "the sender runs on after it has finished");
    });
    QObject::connect(
        sender.get(), &TransferSender::progress, [&](qint64 acknowledged, qint64 total) {
            FUZZ_CHECK(total == fileSize && acknowledged >= 0 && acknowledged <= total,
                "progress beyond the file");
        });

    qint64 busyMs = 0;
    qint64 sameInstant = 0;
    // Moves the clock to the next event before `until` and runs it: a timer, or the line taking
    // a tick's worth of bytes. False when there is none.
    const auto step = [&](qint64 until) {
        const std::optional<qint64> timer = clock.nextDeadline();
        const bool taking = rate > 0 && line.bytesToWrite() > 0;
        const qint64 tick = (clock.nowMs() / kTickMs + 1) * kTickMs;
        const qint64 next = std::min(timer.value_or(std::numeric_limits<qint64>::max()),
            taking ? tick : std::numeric_limits<qint64>::max());
        if (next > until)
            return false;
        sameInstant = next == clock.nowMs() ? sameInstant + 1 : 0;
        FUZZ_CHECK(sameInstant < 100000, "the sender spins without time passing");
        clock.setNow(next);
        if (timer && *timer == next) {
            clock.fireFirst();
        } else {
            line.take(rate * kTickMs);
            busyMs += kTickMs;
        }
        return true;
    };

    sender->start(earlier);
    while (finishedCount == 0 && !input.atEnd()) {
        const uint8_t head = input.byte();
        const qint64 until = clock.nowMs() + kPauses[head >> 4];
        const QByteArray chunk = input.bytes(size_t(head & 0x0F) + 1);
        while (finishedCount == 0 && step(until)) { }
        clock.setNow(std::max(clock.nowMs(), until));
        if (finishedCount == 0) {
            delivered += chunk.size();
            line.deliver(chunk);
        }
    }

    if (finishedCount == 0 && ending != 0) {
        if (ending == 1)
            sender->cancel("cancelled");
        else
            sender->lineLost("line lost");
        FUZZ_CHECK(finishedCount == 1 && !succeeded, "a cancel or a lost line does not end it");
    }

    // The receiver is silent from here: the sender gives up within its limits, plus the time the
    // line needs for what is queued.
    const qint64 silentFrom = clock.nowMs();
    const qint64 busyBefore = busyMs;
    const qint64 limit = std::max<qint64>(
        limits.startTimeoutMs, silentFrom + qint64(limits.retries + 2) * limits.replyTimeoutMs);
    while (finishedCount == 0) {
        const bool moved = step(limit + (busyMs - busyBefore));
        FUZZ_CHECK(moved || clock.nextDeadline() || (rate > 0 && line.bytesToWrite() > 0),
            "the sender waits for ever");
        FUZZ_CHECK(moved, "the sender runs on past its retry and time limits");
    }

    FUZZ_CHECK(finishedCount == 1, "finished reported more than once");
    FUZZ_CHECK(!clock.nextDeadline(), "a timer still runs after the sender finished");
    FUZZ_CHECK(!succeeded || sender->acknowledged() == fileSize, "success without the whole file");
    if (succeeded && protocol == TransferProtocol::Plain)
        FUZZ_CHECK(line.record == contents, "plain bytes reported sent that are not the file");
    // Whatever still comes in, the finished sender stays silent.
    line.deliver(input.bytes(size));
    while (step(clock.nowMs() + 10 * qint64(limits.replyTimeoutMs))) { }
    FUZZ_CHECK(finishedCount == 1, "finished reported again after the end");
    return 0;
}

} // namespace
