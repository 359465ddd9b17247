#include "testkit/scripted_receiver.h"

#include "serial_link/transfer/crc.h"

#include <QTimer>

#include <utility>

void ScriptedReceiver::reply(const QByteArray& bytes)
{
    QTimer::singleShot(0, this, [this, bytes] {
        m_input += bytes;
        emit readyRead();
    });
}

qint64 ScriptedReceiver::readData(char* data, qint64 maxSize)
{
    const qint64 n = std::min<qint64>(maxSize, m_input.size());
    std::copy_n(m_input.constData(), n, data);
    m_input.remove(0, n);
    return n;
}

qint64 ScriptedReceiver::writeData(const char* data, qint64 size)
{
    if (failAfter >= 0 && written.size() + size > failAfter)
        return -1;
    const QByteArray chunk(data, size);
    written += chunk;
    QTimer::singleShot(0, this, [this, chunk] {
        emit bytesWritten(chunk.size());
        if (script)
            script(chunk);
    });
    return size;
}

QList<ZmodemDecoder::Event> ZmodemDecoder::feed(QByteArrayView bytes)
{
    QList<Event> events;
    for (const char c : bytes) {
        if (m_inData) {
            takeData(c, events);
            continue;
        }
        for (const zmodem::HeaderReader::Item& item : m_headers.feed(QByteArrayView(&c, 1))) {
            if (item.kind != zmodem::HeaderReader::Item::Kind::Header)
                continue;
            events.append({ false, item.header, {}, 0 });
            m_inData = item.header.type == zmodem::ZDATA || item.header.type == zmodem::ZFILE;
        }
    }
    return events;
}

void ZmodemDecoder::takeData(char c, QList<Event>& events)
{
    if (!m_escaped && c == zmodem::kDle) {
        m_escaped = true;
        return;
    }
    const bool escaped = std::exchange(m_escaped, false);
    if (m_crcLeft > 0) {
        // The CRC, escaped as the data are; ZCRCG and ZCRCQ go on with more data.
        m_crc += escaped ? static_cast<char>(c ^ 0x40) : c;
        if (--m_crcLeft > 0)
            return;
        const QByteArray covered = m_subpacket.data + m_end;
        QByteArray expected;
        if (m_crcBytes == 4) {
            for (quint32 crc = crc32(covered), shift = 0; shift < 32; shift += 8)
                expected += static_cast<char>((crc >> shift) & 0xFFU);
        } else {
            const quint16 crc = crc16(covered);
            expected = QByteArray { static_cast<char>(crc >> 8), static_cast<char>(crc & 0xFFU) };
        }
        m_subpacket.crcOk = m_crc == expected;
        events.append(std::exchange(m_subpacket, {}));
        m_inData = m_end == 'i' || m_end == 'j';
    } else if (escaped && c >= 'h' && c <= 'k') {
        m_end = c;
        m_crcLeft = m_crcBytes;
        m_crc.clear();
        m_subpacket = { true, {}, std::exchange(m_data, {}), c };
    } else {
        m_data += escaped ? static_cast<char>(c ^ 0x40) : c;
    }
}

using namespace zmodem;

FakeZmodemReceiver::FakeZmodemReceiver(ScriptedReceiver& port)
    : device(port)
{
    device.script = [this](const QByteArray& chunk) {
        for (const ZmodemDecoder::Event& event : decoder.feed(chunk)) {
            lastHeader = event.isData ? lastHeader : event.header.type;
            if (lastHeader != stage)
                handle(event);
            else if (!instead.isEmpty())
                device.reply(instead);
        }
    };
}

void FakeZmodemReceiver::handle(const ZmodemDecoder::Event& event)
{
    if (event.isData)
        takeData(event);
    else if (lastHeader == ZRQINIT
        || (lastHeader == ZEOF && event.header.position() == quint32(file.size())))
        device.reply(hexHeader(Header {
            ZRINIT, { quint8(buffer), quint8(buffer >> 8), 0, CANFDX | CANOVIO | CANFC32 } }));
    else if (lastHeader == ZFIN)
        device.reply(hexHeader(Header::withPosition(ZFIN, 0)));
    else if (lastHeader == ZDATA)
        skipping = event.header.position() != quint32(file.size());
}

void FakeZmodemReceiver::takeData(const ZmodemDecoder::Event& event)
{
    if (lastHeader == ZFILE) {
        device.reply(hexHeader(Header::withPosition(ZRPOS, 0)));
    } else if (std::exchange(loseFirst, false)) {
        skipping = true;
    } else if (!event.crcOk && !skipping) {
        // Garbled, or sent with another CRC than announced: asked for again from what arrived
        // whole, as a receiver does.
        skipping = true;
        device.reply(hexHeader(Header::withPosition(ZRPOS, quint32(file.size()))));
    } else if (!skipping) {
        file += event.data;
        segment += event.data.size();
        longestSegment = std::max(longestSegment, segment);
        segment = event.end == 'k' ? 0 : segment;
        if (event.end == 'j' || event.end == 'k')
            device.reply(hexHeader(Header::withPosition(ZACK, quint32(file.size()))));
    }
}
