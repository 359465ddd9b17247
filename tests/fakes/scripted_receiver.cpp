#include "fakes/scripted_receiver.h"

#include "serial_link/transfer/crc.h"

#include <QTimer>

ScriptedReceiver::ScriptedReceiver()
{
    open(QIODevice::ReadWrite);
}

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
    if (failAfter >= 0 && written.size() + size > failAfter) {
        setErrorString(QStringLiteral("Input/output error"));
        return -1;
    }
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
            events.append({ Event::Kind::Header, item.header, {}, 0 });
            m_inData = item.header.type == zmodem::ZDATA || item.header.type == zmodem::ZFILE;
            m_data.clear();
            m_crc.clear();
            m_end = 0;
        }
    }
    return events;
}

void ZmodemDecoder::takeData(char c, QList<Event>& events)
{
    const auto b = static_cast<quint8>(c);
    if ((b & 0x7F) == 0x11 || (b & 0x7F) == 0x13)
        return;
    if (!m_escaped && c == zmodem::kDle) {
        m_escaped = true;
        return;
    }
    char value = c;
    if (m_escaped) {
        m_escaped = false;
        if (m_end == 0 && c >= 'h' && c <= 'k') {
            m_end = c;
            return;
        }
        value = c == 'l' ? '\x7f' : c == 'm' ? '\xff' : static_cast<char>(b ^ 0x40);
    }
    if (m_end == 0) {
        m_data += value;
        return;
    }
    m_crc += value;
    if (m_crc.size() < (m_crc32 ? 4 : 2))
        return;
    const QByteArray covered = m_data + m_end;
    bool good = false;
    if (m_crc32) {
        const quint32 crc = crc32(covered);
        good = true;
        for (int i = 0; i < 4; ++i)
            good = good && static_cast<quint8>(m_crc[i]) == ((crc >> (8 * i)) & 0xFF);
    } else {
        const quint16 crc = crc16(covered);
        good = static_cast<quint8>(m_crc[0]) == crc >> 8
            && static_cast<quint8>(m_crc[1]) == (crc & 0xFF);
    }
    events.append({ good ? Event::Kind::Subpacket : Event::Kind::BadSubpacket, {}, m_data, m_end });
    m_inData = m_end == 'i' || m_end == 'j';
    m_data.clear();
    m_crc.clear();
    m_end = 0;
}
