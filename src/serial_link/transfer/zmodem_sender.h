#pragma once

#include "serial_link/transfer/transfer_sender.h"
#include "serial_link/transfer/zmodem_frames.h"

/// ZMODEM, one file: "rz\r" and ZRQINIT, the receiver's ZRINIT, ZFILE, then the data streamed
/// from whatever position the receiver asks for, ZEOF, ZFIN and "OO".
///
/// The data go out in subpackets sized to the line and to the errors seen, with a ZACK asked
/// for every few subpackets so that little is ever queued ahead of what the receiver has
/// confirmed. When the receiver asks for a position again (ZRPOS), everything queued is
/// dropped and the data resume from there at once.
class ZmodemSender final : public TransferSender
{
    Q_OBJECT

public:
    ZmodemSender(QIODevice& device, TransferFile file, TransferLimits limits);

protected:
    void begin() override;
    void takeInput(QByteArrayView bytes) override;
    void answerEarlierCall(QByteArrayView earlierInput) override;
    void replyTimedOut() override;
    void outputTaken() override { pump(); }

private:
    enum class Stage { Init, FileOffered, Sending, AwaitSegmentAck, AtEof, Finishing };
    /// Why the data start from a position: the receiver's answer to the file offer, its request
    /// after an error, or its silence.
    enum class Resume { Offer, Request, Silence };

    void handle(const zmodem::Header& header);
    void receiverReady(const zmodem::Header& zrinit);
    void offerFile();
    void resumeAt(qint64 position, Resume why);
    void pump();
    void sendHeader(const zmodem::Header& header);
    void sendHex(const zmodem::Header& header);
    void sendEof();
    bool tooManyErrorsAt(qint64 position, bool requested);
    void garbledHeader();
    /// Waits for the answer to what is outstanding only as long as the line needs to carry it.
    void awaitOutstandingAnswer();
    /// How long the line needs to carry what is outstanding and bring the answer back.
    qint64 lineNeedsMs() const;
    /// How long to wait for the answer to data or the end of file.
    int answerWaitMs() const;
    int sizeForErrors(qint64 interval) const;
    qint64 window() const;

    zmodem::HeaderReader m_reader;
    zmodem::Escaper m_escaper;
    Stage m_stage = Stage::Init;
    bool m_crc32 = false;
    // The receiver's buffer when it cannot take a stream: data then go in segments of this
    // size, each ended by ZCRCW and confirmed before the next.
    qint64 m_segment = 0;
    int m_subpacket = 1024;
    int m_maxSubpacket = 1024;
    qint64 m_sendPos = 0;
    qint64 m_ackPos = 0;
    qint64 m_segmentStart = 0;
    qint64 m_lastAckRequest = 0;
    qint64 m_cleanBytes = 0;
    qint64 m_resumePos = 0;
    // Bytes between errors, on average; 0 until the first error.
    qint64 m_errorInterval = 0;
    qint64 m_repeatsIgnoredUntil = 0; // ms into the session
    qint64 m_errorPos = -1;
    int m_errorsHere = 0;
    int m_requestsHere = 0;
    int m_tries = 0;
};
