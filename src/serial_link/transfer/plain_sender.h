#pragma once

#include "serial_link/transfer/transfer_sender.h"

/// Puts the file's bytes on the line as they are, with no protocol around them. Nothing comes
/// back, so what counts as acknowledged is what the device has taken.
class PlainSender final : public TransferSender
{
    Q_OBJECT

public:
    PlainSender(QIODevice& device, TransferFile file, TransferLimits limits);

protected:
    void begin() override;
    void takeInput(QByteArrayView) override { }
    void answerEarlierCall(QByteArrayView) override { }
    void replyTimedOut() override;
    void outputTaken() override;
    QByteArray cancelSequence() const override { return {}; }

private:
    void pump();

    qint64 m_queued = 0;
};
