#include "serial_link/transfer/plain_sender.h"

#include <QIODevice>

#include <utility>

namespace {

// Queued a little at a time, so that progress is true and a cancel takes effect soon.
constexpr qint64 kChunk = 1024;

} // namespace

PlainSender::PlainSender(QIODevice& device, TransferFile file, TransferLimits limits)
    : TransferSender(device, std::move(file), limits)
{ }

void PlainSender::begin()
{
    sessionStarted();
    pump();
}

void PlainSender::replyTimedOut()
{
    // The line has taken nothing for the whole reply time.
    fail(QStringLiteral("no answer"));
}

void PlainSender::outputTaken()
{
    pump();
}

void PlainSender::pump()
{
    while (isRunning() && m_queued < total() && device().bytesToWrite() < kChunk) {
        const qint64 n = std::min(kChunk, total() - m_queued);
        if (!send(QByteArrayView(file().data).sliced(m_queued, n)))
            return;
        m_queued += n;
    }
    if (!isRunning())
        return;
    setAcknowledged(m_queued - device().bytesToWrite());
    if (m_queued == total() && device().bytesToWrite() == 0)
        succeedWhenSent();
    else
        expectReply();
}
