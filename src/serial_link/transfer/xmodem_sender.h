#pragma once

#include "serial_link/transfer/transfer_sender.h"

/// XMODEM and YMODEM (batch, one file): blocks sent one at a time, each answered by ACK or
/// NAK, then EOT until it is acknowledged. XMODEM sends 128-byte blocks, with CRC-16 when the
/// receiver opens with 'C' and an arithmetic checksum when it opens with NAK; the last block is
/// padded with 0x1A.
/// YMODEM adds block 0 with the file's name, length, time and mode, sends 1K blocks (a short
/// tail in 128-byte blocks) and closes the batch with an empty block 0.
/// An answer names no block, so once a block has gone out more often than it was answered, the
/// receiver may still answer an earlier copy: before the next block the sender then waits until
/// every copy is answered or the line falls quiet, so that a late ACK is not taken for the next
/// block's.
class XmodemSender final : public TransferSender
{
    Q_OBJECT

public:
    enum class Variant { Xmodem, Ymodem };

    XmodemSender(QIODevice& device, TransferFile file, TransferLimits limits, Variant variant);

protected:
    void begin() override { }
    void takeInput(QByteArrayView bytes) override;
    void answerEarlierCall(QByteArrayView earlierInput) override;
    void replyTimedOut() override;

private:
    enum class Stage {
        AwaitStart,
        Header,
        AwaitDataStart,
        Data,
        Settle,
        Eot,
        AwaitEndStart,
        EndHeader
    };

    void answer(char reply);
    void startData();
    void nextBlock();
    /// Waits until late answers to extra copies can no longer arrive, then sends the first
    /// data block (after block 0) or the next one.
    void settle(bool thenStartData);
    void endSettle();
    int quietMs() const;
    void sendDataBlock();
    void sendEot();
    void sendHeader(Stage stage);
    void transmit(Stage stage, QByteArray bytes);
    void retry(bool refused);
    QByteArray block(quint8 number, QByteArrayView payload, int size, char pad) const;
    QByteArray headerPayload() const;

    Variant m_variant;
    bool m_crc = true;
    Stage m_stage = Stage::AwaitStart;
    quint8 m_blockNumber = 1;
    qint64 m_position = 0;
    qint64 m_blockBytes = 0;
    QByteArray m_current;
    int m_refusals = 0;
    // Copies of the current block sent, and answers to it received.
    int m_copies = 0;
    int m_answers = 0;
    bool m_settleStartsData = false;
    qint64 m_settleDeadline = 0;
    int m_timeouts = 0;
    bool m_lastWasCan = false;
};
