#include "serial_link/transfer/zmodem_sender.h"

#include "serial_link/transfer/crc.h"

#include <QIODevice>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

using namespace zmodem;

namespace {

constexpr int kMinSubpacket = 64;
constexpr int kStartSubpacket = 1024;
// Receivers take subpackets of up to 8 KiB.
constexpr int kMaxSubpacket = 8192;
// Clean data, in subpackets of the current size, before the size doubles again while the
// line has shown no error.
constexpr int kCleanRunToGrow = 8;
// Under errors a subpacket of about sqrt(kErrorSizing x bytes between errors) loses least: an
// error costs the subpacket it hits, and each subpacket costs its few bytes of framing.
constexpr double kErrorSizing = 16;
// The finish is a courtesy once the receiver has confirmed the file: it gets a few tries only.
constexpr int kFinishTries = 3;
// About what a file offer takes on the line: header, name, length, time and mode.
constexpr qint64 kFileOfferBytes = 80;
// How long, beyond the line's own time, an answer may take to come back.
constexpr qint64 kAnswerMarginMs = 500;

} // namespace

ZmodemSender::ZmodemSender(QIODevice& device, TransferFile file, TransferLimits limits)
    : TransferSender(device, std::move(file), limits)
{ }

void ZmodemSender::begin()
{
    // No subpacket takes much more than two seconds of the line, so that an error costs little.
    m_maxSubpacket = kMaxSubpacket;
    if (const qint64 fit = qint64(lineRate()) * 5 / 2; fit > 0) {
        m_maxSubpacket = kMinSubpacket;
        while (m_maxSubpacket < kMaxSubpacket && 2 * m_maxSubpacket <= fit)
            m_maxSubpacket *= 2;
    }
    m_subpacket = std::min(kStartSubpacket, m_maxSubpacket);
    emit protocolEvent(QStringLiteral("Asking the receiver to start"));
    if (send("rz\r"))
        sendHex(Header::withPosition(ZRQINIT, 0));
    expectReply();
}

void ZmodemSender::takeInput(QByteArrayView bytes)
{
    for (const HeaderReader::Item& item : m_reader.feed(bytes)) {
        if (!isRunning())
            return;
        switch (item.kind) {
        case HeaderReader::Item::Kind::Cancelled:
            fail(QStringLiteral("receiver cancelled"));
            return;
        case HeaderReader::Item::Kind::BadHeader:
            garbledHeader();
            break;
        case HeaderReader::Item::Kind::Header:
            handle(item.header);
            break;
        }
    }
}

void ZmodemSender::answerEarlierCall(QByteArrayView earlierInput)
{
    // Read with the session's own reader, so that an announcement cut in two by the start
    // still counts once its rest arrives.
    std::optional<Header> call;
    for (const HeaderReader::Item& item : m_reader.feed(earlierInput)) {
        if (item.kind == HeaderReader::Item::Kind::Header && item.header.type == ZRINIT)
            call = item.header;
    }
    if (call)
        handle(*call);
}

void ZmodemSender::handle(const Header& header)
{
    switch (header.type) {
    case ZRINIT:
        if (m_stage == Stage::Init) {
            receiverReady(header);
        } else if (m_stage == Stage::AtEof || m_stage == Stage::Finishing) {
            if (m_stage == Stage::AtEof) {
                emit protocolEvent(QStringLiteral("Receiver has the whole file"));
                m_tries = 0;
            } else if (++m_tries >= kFinishTries) {
                // The receiver keeps missing our goodbye; the file itself is confirmed.
                succeedWhenSent();
                return;
            }
            m_stage = Stage::Finishing;
            setAcknowledged(total());
            // Binary, as every header once the receiver is known: 12 bytes rather than 20.
            sendHeader(Header::withPosition(ZFIN, 0));
            expectReply(answerWaitMs());
        } else if (m_stage == Stage::FileOffered) {
            // A late copy of the first, or the receiver still waiting because the offer arrived
            // damaged: then no other answer comes.
            awaitOutstandingAnswer();
        }
        // Elsewhere a ZRINIT is a late copy of the first.
        return;
    case ZCHALLENGE:
        sendHex(Header::withPosition(ZACK, header.position()));
        return;
    case ZRPOS:
        if (m_stage == Stage::FileOffered) {
            resumeAt(header.position(), Resume::Offer);
        } else if (header.position() == quint32(m_resumePos)
            && elapsedMs() < m_repeatsIgnoredUntil) {
            // Sent before our answer to the same request can have reached the receiver: it saw
            // the rest of what was on the line as garbage and asked again.
            emit protocolEvent(
                QStringLiteral("Receiver repeats its request for %1").arg(m_resumePos));
            // Unless it asked anew after all, because our answer arrived damaged too: then no
            // sign of progress comes in the time the line needs for what is outstanding.
            if (m_stage != Stage::Finishing)
                awaitOutstandingAnswer();
        } else if (m_stage != Stage::Init) {
            resumeAt(header.position(), Resume::Request);
        }
        return;
    case ZACK:
        if (m_stage == Stage::Sending || m_stage == Stage::AwaitSegmentAck
            || m_stage == Stage::AtEof) {
            const qint64 position = header.position();
            if (position <= m_ackPos || position > m_sendPos)
                return;
            m_ackPos = position;
            setAcknowledged(position);
            if (m_stage == Stage::AtEof)
                return;
            if (m_stage == Stage::AwaitSegmentAck) {
                if (position < m_sendPos) {
                    expectReply(answerWaitMs());
                    return;
                }
                if (m_sendPos == total()) {
                    sendEof();
                    return;
                }
                m_stage = Stage::Sending;
                m_segmentStart = m_sendPos;
                sendHeader(Header::withPosition(ZDATA, static_cast<quint32>(m_sendPos)));
            }
            stopWaiting();
            pump();
        }
        return;
    case ZSKIP:
        fail(QStringLiteral("receiver skipped the file"));
        return;
    case ZABORT:
        fail(QStringLiteral("receiver aborted"));
        return;
    case ZFERR:
        fail(QStringLiteral("receiver could not write the file"));
        return;
    case ZCAN:
        fail(QStringLiteral("receiver cancelled"));
        return;
    case ZFIN:
        if (m_stage == Stage::Finishing && send("OO"))
            succeedWhenSent();
        return;
    case ZNAK:
        // The receiver could not read our last header.
        if (m_stage == Stage::FileOffered || m_stage == Stage::AtEof || m_stage == Stage::Finishing)
            replyTimedOut();
        return;
    case ZCRC:
        if (m_stage == Stage::FileOffered) {
            const qint64 length = header.position();
            const QByteArrayView data = length > 0 && length < total()
                ? QByteArrayView(file().data).first(length)
                : QByteArrayView(file().data);
            sendHex(Header::withPosition(ZCRC, crc32(data)));
            expectReply();
        }
        return;
    default:
        return;
    }
}

void ZmodemSender::receiverReady(const Header& zrinit)
{
    sessionStarted();
    const quint8 flags = zrinit.zf0();
    m_crc32 = (flags & CANFC32) != 0;
    m_escaper = Escaper((flags & ESCCTL) != 0);
    m_segment = zrinit.bytes[0] | zrinit.bytes[1] << 8;
    if (m_segment == 0 && ((flags & CANFDX) == 0 || (flags & CANOVIO) == 0))
        // No overlapped input: every subpacket waits for its acknowledgement.
        m_segment = kStartSubpacket;
    if (m_segment > 0)
        m_maxSubpacket
            = static_cast<int>(std::clamp<qint64>(m_segment, kMinSubpacket, m_maxSubpacket));
    m_subpacket = std::min(m_subpacket, m_maxSubpacket);
    emit protocolEvent(
        QStringLiteral("Receiver ready: %1%2, %3")
            .arg(m_crc32 ? QStringLiteral("CRC-32") : QStringLiteral("CRC-16"),
                (flags & ESCCTL) ? QStringLiteral(", control characters escaped") : QString(),
                m_segment > 0 ? QStringLiteral("segments of %1 bytes").arg(m_segment)
                              : QStringLiteral("streaming")));
    m_tries = 0;
    offerFile();
}

void ZmodemSender::offerFile()
{
    m_stage = Stage::FileOffered;
    QByteArray info = fileAnnouncement();
    emit protocolEvent(QStringLiteral("Offering %1, %2 bytes").arg(file().name).arg(total()));
    sendHeader(Header::withFlags(ZFILE, ZCBIN, ZMCLOB));
    if (send(dataSubpacket(info, SubpacketEnd::EndAckExpected, m_crc32, m_escaper)))
        expectReply();
}

void ZmodemSender::resumeAt(qint64 position, Resume why)
{
    position = std::clamp<qint64>(position, 0, total());
    if (why != Resume::Offer) {
        if (tooManyErrorsAt(position, why == Resume::Request)) {
            // Only silence at this position is no answer; a receiver that keeps asking is there.
            fail(m_requestsHere > 0 ? QStringLiteral("too many errors")
                                    : QStringLiteral("no answer"));
            return;
        }
        discardQueuedOutput();
        // A line that ignores the flush still delivers what was queued; until then, requests
        // for this same position are repeats.
        const qint64 stale = std::max<qint64>(0, m_sendPos - position) + kFileOfferBytes;
        m_repeatsIgnoredUntil
            = elapsedMs() + (lineRate() > 0 ? stale * 1000 / lineRate() : 0) + kAnswerMarginMs;
        // The bytes between two errors: what got through since the last resume, and the
        // subpacket the error hit.
        const qint64 interval = std::max<qint64>(0, position - m_resumePos) + m_subpacket;
        m_errorInterval = m_errorInterval == 0 ? interval : (m_errorInterval + interval) / 2;
        m_subpacket = sizeForErrors(m_errorInterval);
        emit protocolWarning(
            QStringLiteral("%1 from %2 again; queued output dropped, "
                           "subpackets of %3 bytes")
                .arg(why == Resume::Request ? QStringLiteral("Receiver asks for the data")
                                            : QStringLiteral("Sending"))
                .arg(position)
                .arg(m_subpacket));
    } else {
        emit protocolEvent(QStringLiteral("Receiver asks for the data from %1").arg(position));
    }
    m_cleanBytes = 0;
    m_resumePos = position;
    m_ackPos = position;
    setAcknowledged(position);
    m_sendPos = position;
    m_segmentStart = position;
    m_lastAckRequest = position;
    m_tries = 0;
    stopWaiting();
    if (position == total()) {
        sendEof();
        return;
    }
    m_stage = Stage::Sending;
    sendHeader(Header::withPosition(ZDATA, static_cast<quint32>(position)));
    pump();
}

void ZmodemSender::pump()
{
    while (isRunning() && m_stage == Stage::Sending) {
        // What the device holds is what a ZRPOS would make us throw away. A line that stops
        // taking it must not hold the session for ever: the answer is awaited meanwhile.
        if (device().bytesToWrite() > m_subpacket) {
            if (!isWaiting())
                expectReply();
            return;
        }
        if (m_sendPos - m_ackPos >= window()) {
            if (!isWaiting())
                expectReply(answerWaitMs());
            return;
        }
        const qint64 n = std::min<qint64>(m_subpacket, total() - m_sendPos);
        const qint64 end = m_sendPos + n;
        SubpacketEnd kind = SubpacketEnd::MoreNoReply;
        if (m_segment > 0 && (end == total() || end - m_segmentStart >= m_segment))
            kind = SubpacketEnd::EndAckExpected;
        else if (end == total())
            kind = SubpacketEnd::EndNoReply;
        else if (end - m_lastAckRequest >= window() / 4)
            kind = SubpacketEnd::MoreAckExpected;
        if (kind == SubpacketEnd::MoreAckExpected)
            m_lastAckRequest = end;
        if (!send(dataSubpacket(
                QByteArrayView(file().data).sliced(m_sendPos, n), kind, m_crc32, m_escaper)))
            return;
        m_sendPos = end;
        m_cleanBytes += n;
        if (m_errorInterval > 0) {
            // A clean run longer than the errors seen so far lets the size grow back.
            m_subpacket = sizeForErrors(std::max(m_errorInterval, m_sendPos - m_resumePos));
        } else if (m_cleanBytes >= kCleanRunToGrow * qint64(m_subpacket)
            && m_subpacket < m_maxSubpacket) {
            m_subpacket *= 2;
            m_cleanBytes = 0;
        }
        if (kind == SubpacketEnd::EndAckExpected) {
            m_stage = Stage::AwaitSegmentAck;
            expectReply(answerWaitMs());
            return;
        }
        if (kind == SubpacketEnd::EndNoReply) {
            m_tries = 0;
            sendEof();
            return;
        }
    }
}

void ZmodemSender::replyTimedOut()
{
    switch (m_stage) {
    case Stage::Init:
        // The start limit decides when to give up.
        sendHex(Header::withPosition(ZRQINIT, 0));
        expectReply();
        return;
    case Stage::FileOffered:
        if (++m_tries > limits().retries) {
            fail(QStringLiteral("no answer"));
            return;
        }
        emit protocolWarning(QStringLiteral("No answer to the file offer, offering it again"));
        offerFile();
        return;
    case Stage::Sending:
    case Stage::AwaitSegmentAck:
        emit protocolWarning(
            QStringLiteral("No acknowledgement beyond %1, sending from there again").arg(m_ackPos));
        resumeAt(m_ackPos, Resume::Silence);
        return;
    case Stage::AtEof:
        if (m_ackPos < total()) {
            // The receiver may lack data and its request for them may have gone astray: it
            // then ignores every end of file. Sending from what it has confirmed makes it ask.
            emit protocolWarning(
                QStringLiteral("No answer to the end of file, sending from %1 again")
                    .arg(m_ackPos));
            resumeAt(m_ackPos, Resume::Silence);
            return;
        }
        if (++m_tries > limits().retries) {
            fail(QStringLiteral("no answer"));
            return;
        }
        emit protocolWarning(QStringLiteral("No answer to the end of file, sending it again"));
        sendEof();
        return;
    case Stage::Finishing:
        if (++m_tries >= std::min(kFinishTries, limits().retries)) {
            // The receiver has confirmed the whole file; only the goodbye went missing.
            emit protocolWarning(QStringLiteral("No answer to the end of the session"));
            succeedWhenSent();
            return;
        }
        sendHeader(Header::withPosition(ZFIN, 0));
        expectReply(answerWaitMs());
        return;
    }
}

void ZmodemSender::sendHeader(const Header& header)
{
    send(binaryHeader(header, m_crc32, m_escaper));
}

void ZmodemSender::sendHex(const Header& header)
{
    send(hexHeader(header));
}

void ZmodemSender::sendEof()
{
    m_stage = Stage::AtEof;
    sendHeader(Header::withPosition(ZEOF, static_cast<quint32>(total())));
    expectReply(answerWaitMs());
}

bool ZmodemSender::tooManyErrorsAt(qint64 position, bool requested)
{
    if (position != m_errorPos) {
        m_errorPos = position;
        m_errorsHere = 0;
        m_requestsHere = 0;
    }
    ++m_errorsHere;
    m_requestsHere += requested ? 1 : 0;
    return m_errorsHere > limits().retries;
}

int ZmodemSender::sizeForErrors(qint64 interval) const
{
    const double best = std::sqrt(kErrorSizing * double(interval));
    int size = kMinSubpacket;
    // The nearest power of two, on a logarithmic scale.
    while (size < m_maxSubpacket && double(size) * 1.414 < best)
        size *= 2;
    return size;
}

void ZmodemSender::garbledHeader()
{
    emit protocolWarning(QStringLiteral("Garbled header from the receiver"));
    if (m_stage == Stage::Init) {
        // Most likely the receiver's ZRINIT: ask for it again at once.
        sendHex(Header::withPosition(ZRQINIT, 0));
        return;
    }
    // Most likely the answer we wait for, which will not come again.
    awaitOutstandingAnswer();
}

void ZmodemSender::awaitOutstandingAnswer()
{
    // Rather than wait the full reply time, wait as long as the line needs for what is
    // outstanding, plus a margin.
    expectReply(int(std::min<qint64>(lineNeedsMs(), limits().replyTimeoutMs)));
}

qint64 ZmodemSender::lineNeedsMs() const
{
    const qint64 outstanding
        = m_stage == Stage::FileOffered ? 2 * kFileOfferBytes : m_sendPos - m_ackPos;
    return (lineRate() > 0 ? outstanding * 1000 / lineRate() : 0) + kAnswerMarginMs;
}

int ZmodemSender::answerWaitMs() const
{
    // On a line without errors the receiver has the full reply time. Once the line has shown
    // errors, an answer that has not come in the time the line needs was most likely lost with
    // what it answers; the wait doubles with each silence at the same position, so that a slow
    // receiver still gets its time.
    if (m_errorInterval == 0)
        return limits().replyTimeoutMs;
    const int silences = m_errorPos == m_ackPos ? std::min(m_errorsHere - m_requestsHere, 5) : 0;
    return int(std::min<qint64>(lineNeedsMs() << silences, limits().replyTimeoutMs));
}

qint64 ZmodemSender::window() const
{
    // Two subpackets ahead of what the receiver has confirmed keep the line busy; on a slow line
    // about two seconds of it, when that is more. Under errors no more than an eighth of the
    // distance between them, since a line that ignores the flush delivers it all in vain.
    const qint64 subpackets = (lineRate() > 0 ? 2 : 4) * qint64(m_subpacket);
    const qint64 bytes = std::max(subpackets, 2 * qint64(lineRate()));
    if (m_errorInterval == 0)
        return bytes;
    const qint64 interval = std::max(m_errorInterval, m_sendPos - m_resumePos);
    return std::max(2 * qint64(m_subpacket), std::min(bytes, interval / 8));
}
