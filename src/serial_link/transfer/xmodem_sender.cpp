#include "serial_link/transfer/xmodem_sender.h"

#include "serial_link/transfer/crc.h"

#include <algorithm>
#include <utility>

namespace {

constexpr char kSoh = 0x01;
constexpr char kStx = 0x02;
constexpr char kEot = 0x04;
constexpr char kAck = 0x06;
constexpr char kNak = 0x15;
constexpr char kCan = 0x18;
constexpr char kCrcStart = 'C';
constexpr char kPadding = 0x1A;
constexpr int kShortBlock = 128;
constexpr int kLongBlock = 1024;
// How long after the line could have carried a copy of a block its answer may still come.
constexpr int kAnswerMarginMs = 1000;

} // namespace

XmodemSender::XmodemSender(
    QIODevice& device, TransferFile file, TransferLimits limits, Variant variant)
    : TransferSender(device, std::move(file), limits)
    , m_variant(variant)
{ }

void XmodemSender::takeInput(QByteArrayView bytes)
{
    // A receiver repeats its call until the first block arrives: calls that came together are
    // one call, or each would put another copy of the first block on the line.
    char call = 0;
    for (const char c : bytes) {
        if (!isRunning())
            return;
        if (c == kCan) {
            if (m_lastWasCan) {
                fail(QStringLiteral("receiver cancelled"));
                return;
            }
            m_lastWasCan = true;
            continue;
        }
        m_lastWasCan = false;
        if (m_stage == Stage::AwaitStart)
            call = c == kCrcStart || c == kNak ? c : call;
        else
            answer(c);
    }
    if (call != 0 && isRunning())
        answer(call);
}

void XmodemSender::answerEarlierCall(QByteArrayView earlierInput)
{
    const qsizetype call
        = std::max(earlierInput.lastIndexOf(kCrcStart), earlierInput.lastIndexOf(kNak));
    if (call >= 0)
        answer(earlierInput.at(call));
}

void XmodemSender::answer(char reply)
{
    switch (m_stage) {
    case Stage::AwaitStart:
        if (reply == kCrcStart || (reply == kNak && m_variant == Variant::Xmodem)) {
            m_crc = reply == kCrcStart;
            sessionStarted();
            emit protocolEvent(
                QStringLiteral("Receiver ready, %1")
                    .arg(m_crc ? QStringLiteral("CRC-16") : QStringLiteral("checksum")));
            if (m_variant == Variant::Ymodem)
                sendHeader(Stage::Header);
            else
                startData();
        }
        return;
    case Stage::Header:
        if (reply == kAck) {
            // The tries go on counting while the call for the data is awaited: a receiver that
            // acknowledges every copy of block 0 but never calls must not hold the sender for ever.
            ++m_answers;
            m_stage = Stage::AwaitDataStart;
            expectReply();
        } else if (reply == kNak) {
            ++m_answers;
            retry(true);
        }
        return;
    case Stage::AwaitDataStart:
        if (reply == kCrcStart) {
            // A second copy of block 0 would be acknowledged once more, after this call.
            if (m_copies > m_answers)
                settle(true);
            else
                startData();
        }
        return;
    case Stage::Data:
        if (reply == kAck) {
            ++m_answers;
            m_position += m_blockBytes;
            setAcknowledged(m_position);
            ++m_blockNumber;
            if (m_copies > m_answers)
                settle(false);
            else
                nextBlock();
        } else if (reply == kNak
            || (reply == kCrcStart && m_variant == Variant::Xmodem && m_position == 0)) {
            // A receiver that missed the first block opens again.
            ++m_answers;
            retry(true);
        }
        return;
    case Stage::Settle:
        // A late answer to a copy: the receiver is waiting for what comes next. Once every copy
        // is answered, or the line has been quiet for a while, that goes out.
        if (reply == kAck || reply == kNak || reply == kCrcStart)
            ++m_answers;
        if (m_answers >= m_copies)
            endSettle();
        else
            expectReply(int(std::clamp<qint64>(m_settleDeadline - elapsedMs(), 0, quietMs())));
        return;
    case Stage::Eot:
        if (reply == kAck) {
            if (m_variant == Variant::Xmodem) {
                succeedWhenSent();
            } else {
                // As after block 0: the tries count on until the call for the closing block.
                m_stage = Stage::AwaitEndStart;
                expectReply();
            }
        } else if (reply == kNak) {
            retry(true);
        }
        return;
    case Stage::AwaitEndStart:
        if (reply == kCrcStart)
            sendHeader(Stage::EndHeader);
        return;
    case Stage::EndHeader:
        if (reply == kAck)
            succeedWhenSent();
        else if (reply == kNak || reply == kCrcStart)
            retry(true);
        return;
    }
}

void XmodemSender::replyTimedOut()
{
    switch (m_stage) {
    case Stage::AwaitStart:
        return;
    case Stage::AwaitDataStart:
        // The receiver took block 0 but its call for the data went missing: offer block 0 again.
        m_stage = Stage::Header;
        break;
    case Stage::AwaitEndStart:
        m_stage = Stage::Eot;
        m_current = QByteArray(1, kEot);
        break;
    case Stage::Settle:
        endSettle();
        return;
    case Stage::Header:
    case Stage::Data:
    case Stage::Eot:
    case Stage::EndHeader:
        break;
    }
    retry(false);
}

void XmodemSender::startData()
{
    m_position = 0;
    m_blockNumber = 1;
    if (total() == 0)
        sendEot();
    else
        sendDataBlock();
}

void XmodemSender::nextBlock()
{
    if (m_position >= total())
        sendEot();
    else
        sendDataBlock();
}

void XmodemSender::settle(bool thenStartData)
{
    emit protocolEvent(QStringLiteral("Waiting for late answers to a block sent more than once"));
    m_stage = Stage::Settle;
    m_settleStartsData = thenStartData;
    m_settleDeadline = elapsedMs() + limits().replyTimeoutMs;
    expectReply(quietMs());
}

void XmodemSender::endSettle()
{
    if (m_settleStartsData)
        startData();
    else
        nextBlock();
}

int XmodemSender::quietMs() const
{
    // The copy may have left only just now: a long block's time on the line, then the margin.
    const int lineMs = lineRate() > 0 ? (kLongBlock + 5) * 1000 / lineRate() : 0;
    return std::min(lineMs + kAnswerMarginMs, limits().replyTimeoutMs);
}

void XmodemSender::sendDataBlock()
{
    const qint64 remaining = total() - m_position;
    // YMODEM sends 1K blocks, but a short tail goes faster in 128-byte blocks than padded out.
    const int size
        = m_variant == Variant::Ymodem && remaining > 7 * kShortBlock ? kLongBlock : kShortBlock;
    m_blockBytes = std::min<qint64>(size, remaining);
    transmit(Stage::Data,
        block(m_blockNumber, QByteArrayView(file().data).sliced(m_position, m_blockBytes), size,
            kPadding));
}

void XmodemSender::sendEot()
{
    emit protocolEvent(QStringLiteral("End of file"));
    transmit(Stage::Eot, QByteArray(1, kEot));
}

void XmodemSender::sendHeader(Stage stage)
{
    const QByteArray payload = stage == Stage::Header ? headerPayload() : QByteArray();
    const int size = payload.size() > kShortBlock ? kLongBlock : kShortBlock;
    transmit(stage, block(0, payload, size, '\0'));
}

void XmodemSender::transmit(Stage stage, QByteArray bytes)
{
    m_stage = stage;
    m_current = std::move(bytes);
    m_refusals = m_timeouts = 0;
    m_copies = 1;
    m_answers = 0;
    if (send(m_current))
        expectReply();
}

void XmodemSender::retry(bool refused)
{
    (refused ? m_refusals : m_timeouts) += 1;
    if (m_refusals + m_timeouts > limits().retries) {
        fail(m_refusals > 0 ? QStringLiteral("too many errors") : QStringLiteral("no answer"));
        return;
    }
    const QString what = m_stage == Stage::Eot ? QStringLiteral("EOT")
                                               : QStringLiteral("block %1").arg(m_blockNumber);
    emit protocolWarning(refused ? QStringLiteral("Receiver refused %1, sending it again").arg(what)
                                 : QStringLiteral("No answer to %1, sending it again").arg(what));
    ++m_copies;
    if (send(m_current))
        expectReply();
}

QByteArray XmodemSender::block(quint8 number, QByteArrayView payload, int size, char pad) const
{
    QByteArray out;
    out.reserve(size + 5);
    out += size == kLongBlock ? kStx : kSoh;
    out += static_cast<char>(number);
    out += static_cast<char>(255 - number);
    out.append(payload.data(), payload.size());
    out.append(size - payload.size(), pad);
    const QByteArrayView data = QByteArrayView(out).sliced(3);
    if (m_crc) {
        const quint16 crc = crc16(data);
        out += static_cast<char>(crc >> 8);
        out += static_cast<char>(crc & 0xFFU);
    } else {
        quint8 sum = 0;
        for (const char c : data)
            sum = static_cast<quint8>(sum + static_cast<quint8>(c));
        out += static_cast<char>(sum);
    }
    return out;
}

QByteArray XmodemSender::headerPayload() const
{
    QByteArray payload = fileAnnouncement();
    return payload;
}
