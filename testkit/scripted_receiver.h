#pragma once

#include "serial_link/transfer/zmodem_frames.h"

#include <QIODevice>

#include <functional>

/// A receiver played by the test: a device whose written bytes go to a script, which answers
/// through reply(). Answers and bytesWritten() arrive from the event loop, as from a port.
/// failAfter makes writing fail once that many bytes have been written, as a port that is gone
/// (with no error string).
class ScriptedReceiver : public QIODevice
{
    Q_OBJECT

public:
    ScriptedReceiver() { open(QIODevice::ReadWrite); }

    /// Called with every chunk the sender writes.
    std::function<void(const QByteArray& chunk)> script;
    void reply(const QByteArray& bytes);

    QByteArray written;
    qint64 failAfter = -1;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_input.size() + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    QByteArray m_input;
};

/// Reads what a ZMODEM sender writes: headers, and the data subpackets that follow ZFILE and
/// ZDATA. The headers' CRCs are checked by the header reader, each subpacket's against the CRC
/// the receiver announced, so that a subpacket sent with another CRC, or cut, or garbled, is
/// told apart instead of kept.
class ZmodemDecoder
{
public:
    struct Event
    {
        bool isData = false; ///< a data subpacket rather than a header
        zmodem::Header header;
        QByteArray data;
        char end = 0;
        bool crcOk = true; ///< a subpacket's CRC matches its data
    };

    explicit ZmodemDecoder(bool crc32)
        : m_crcBytes(crc32 ? 4 : 2)
    { }
    QList<Event> feed(QByteArrayView bytes);

private:
    void takeData(char c, QList<Event>& events);

    int m_crcBytes;
    int m_crcLeft = 0;
    QByteArray m_crc;
    Event m_subpacket;
    bool m_inData = false;
    bool m_escaped = false;
    char m_end = 0;
    QByteArray m_data;
    zmodem::HeaderReader m_headers;
};

/// A ZMODEM receiver that keeps the file it is sent, with a buffer of the size given (2 KiB
/// unless a test says otherwise). A test makes it break the rules: once the sender has sent the
/// header stage it answers instead (or nothing); with loseFirst it loses the first data
/// subpacket and its request for it. A garbled subpacket is asked for again.
struct FakeZmodemReceiver
{
    explicit FakeZmodemReceiver(ScriptedReceiver& port);

    ScriptedReceiver& device;
    ZmodemDecoder decoder { true };
    int buffer = 2048; // 0: takes a stream
    int stage = -1;
    QByteArray instead;
    bool loseFirst = false;
    quint8 lastHeader = 0xFF;
    bool skipping = false;
    qint64 segment = 0; // data since the last ZCRCW
    qint64 longestSegment = 0;
    QByteArray file;

private:
    void handle(const ZmodemDecoder::Event& event);
    void takeData(const ZmodemDecoder::Event& event);
};
