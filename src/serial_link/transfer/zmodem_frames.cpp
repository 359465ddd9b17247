#include "serial_link/transfer/zmodem_frames.h"

#include "serial_link/transfer/crc.h"

namespace zmodem {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr int kHexHeaderDigits = 14;

void appendHex(QByteArray& out, quint8 byte)
{
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QByteArray headerBytes(const Header& header)
{
    QByteArray bytes;
    bytes += static_cast<char>(header.type);
    for (const quint8 b : header.bytes)
        bytes += static_cast<char>(b);
    return bytes;
}

bool isFlowControl(char c)
{
    const auto b = static_cast<quint8>(c) & 0x7FU;
    return b == 0x11 || b == 0x13;
}

void appendCrc(QByteArray& out, QByteArrayView covered, bool useCrc32, Escaper& escaper)
{
    if (useCrc32) {
        const quint32 crc = crc32(covered);
        for (int shift = 0; shift < 32; shift += 8)
            escaper.append(out, static_cast<char>((crc >> shift) & 0xFFU));
    } else {
        const quint16 crc = crc16(covered);
        escaper.append(out, static_cast<char>(crc >> 8));
        escaper.append(out, static_cast<char>(crc & 0xFFU));
    }
}

} // namespace

Header Header::withPosition(quint8 type, quint32 position)
{
    return Header { type,
        { static_cast<quint8>(position), static_cast<quint8>(position >> 8),
            static_cast<quint8>(position >> 16), static_cast<quint8>(position >> 24) } };
}

Header Header::withFlags(quint8 type, quint8 zf0, quint8 zf1)
{
    return Header { type, { 0, 0, zf1, zf0 } };
}

quint32 Header::position() const
{
    return quint32(bytes[0]) | quint32(bytes[1]) << 8 | quint32(bytes[2]) << 16
        | quint32(bytes[3]) << 24;
}

void Escaper::append(QByteArray& out, QByteArrayView bytes)
{
    for (const char c : bytes)
        append(out, c);
}

void Escaper::append(QByteArray& out, char byte)
{
    const auto b = static_cast<quint8>(byte);
    bool escape = false;
    switch (b) {
    case 0x18:
    case 0x11:
    case 0x91:
    case 0x13:
    case 0x93:
        escape = true;
        break;
    case 0x0D:
    case 0x8D:
        // A carriage return after '@' is a network's command escape.
        escape = m_escapeControl || (static_cast<quint8>(m_last) & 0x7FU) == 0x40;
        break;
    default:
        escape = m_escapeControl && (b & 0x60U) == 0;
        break;
    }
    if (escape) {
        out += kDle;
        m_last = static_cast<char>(b ^ 0x40U);
    } else {
        m_last = byte;
    }
    out += m_last;
}

QByteArray hexHeader(const Header& header)
{
    const QByteArray bytes = headerBytes(header);
    QByteArray out = QByteArrayLiteral("**\x18"
                                       "B");
    for (const char b : bytes)
        appendHex(out, static_cast<quint8>(b));
    const quint16 crc = crc16(bytes);
    appendHex(out, static_cast<quint8>(crc >> 8));
    appendHex(out, static_cast<quint8>(crc & 0xFFU));
    out += "\r\x8a";
    if (header.type != ZACK && header.type != ZFIN)
        out += kXon;
    return out;
}

QByteArray binaryHeader(const Header& header, bool useCrc32, Escaper& escaper)
{
    QByteArray out;
    out += kPad;
    out += kDle;
    out += useCrc32 ? 'C' : 'A';
    escaper.noteRaw(out.back());
    const QByteArray bytes = headerBytes(header);
    escaper.append(out, bytes);
    appendCrc(out, bytes, useCrc32, escaper);
    return out;
}

QByteArray dataSubpacket(QByteArrayView data, SubpacketEnd end, bool useCrc32, Escaper& escaper)
{
    QByteArray out;
    out.reserve(data.size() + data.size() / 16 + 12);
    escaper.append(out, data);
    out += kDle;
    out += static_cast<char>(end);
    escaper.noteRaw(static_cast<char>(end));
    QByteArray covered;
    covered.reserve(data.size() + 1);
    covered.append(data.data(), data.size());
    covered += static_cast<char>(end);
    appendCrc(out, covered, useCrc32, escaper);
    return out;
}

QList<HeaderReader::Item> HeaderReader::feed(QByteArrayView bytes)
{
    QList<Item> items;
    for (const char c : bytes)
        take(c, items);
    return items;
}

void HeaderReader::reset()
{
    m_noisy = false;
    m_state = State::Hunt;
    m_body.clear();
    m_escaped = false;
    m_cans = 0;
}

void HeaderReader::take(char c, QList<Item>& items)
{
    m_cans = c == kCan ? m_cans + 1 : 0;
    if (m_cans >= 5) {
        reset();
        items.append({ Item::Kind::Cancelled, {} });
        return;
    }
    switch (m_state) {
    case State::Hunt:
        if (c == kPad) {
            m_state = State::Pad;
        } else if (c != kCan && !isFlowControl(c) && c != '\r' && c != '\n' && c != '\x8a') {
            reportBad(items);
        }
        return;
    case State::Pad:
        if (c == kDle)
            m_state = State::Dle;
        else if (c != kPad && !isFlowControl(c))
            m_state = State::Hunt;
        return;
    case State::Dle:
        m_body.clear();
        m_escaped = false;
        if (c == 'B') {
            m_state = State::Hex;
        } else if (c == 'A' || c == 'C') {
            m_crc32 = c == 'C';
            m_state = State::Binary;
        } else {
            m_state = c == kPad ? State::Pad : State::Hunt;
        }
        return;
    case State::Hex:
        if (hexValue(c) < 0) {
            m_state = c == kPad ? State::Pad : State::Hunt;
            reportBad(items);
            return;
        }
        m_body += c;
        if (m_body.size() == kHexHeaderDigits)
            finishHex(items);
        return;
    case State::Binary:
        if (m_escaped) {
            m_escaped = false;
            if (c == 'l')
                m_body += '\x7f';
            else if (c == 'm')
                m_body += '\xff';
            else if ((static_cast<quint8>(c) & 0x60U) == 0x40)
                m_body += static_cast<char>(static_cast<quint8>(c) ^ 0x40U);
            else if (c == kDle)
                m_escaped = true;
            else {
                m_state = State::Hunt;
                reportBad(items);
                return;
            }
        } else if (c == kDle) {
            m_escaped = true;
        } else if (!isFlowControl(c)) {
            m_body += c;
        }
        if (m_body.size() == (m_crc32 ? 9 : 7))
            finishBinary(items);
        return;
    }
}

void HeaderReader::reportBad(QList<Item>& items)
{
    // The rest of the same garbled header is not reported again.
    if (!m_noisy)
        items.append({ Item::Kind::BadHeader, {} });
    m_noisy = true;
}

void HeaderReader::reportWhole(QList<Item>& items)
{
    // A header read to its end is one of its own, however garbled what came before it.
    m_noisy = false;
    reportBad(items);
}

void HeaderReader::finishHex(QList<Item>& items)
{
    QByteArray bytes;
    for (int i = 0; i < kHexHeaderDigits; i += 2)
        bytes += static_cast<char>(hexValue(m_body[i]) << 4 | hexValue(m_body[i + 1]));
    m_state = State::Hunt;
    const quint16 crc = crc16(bytes.first(5));
    if (crc >> 8 != static_cast<quint8>(bytes[5])
        || (crc & 0xFFU) != static_cast<quint8>(bytes[6])) {
        reportWhole(items);
        return;
    }
    m_noisy = false;
    Header header;
    header.type = static_cast<quint8>(bytes[0]);
    for (int i = 0; i < 4; ++i)
        header.bytes[static_cast<std::size_t>(i)] = static_cast<quint8>(bytes[i + 1]);
    items.append({ Item::Kind::Header, header });
}

void HeaderReader::finishBinary(QList<Item>& items)
{
    m_state = State::Hunt;
    const QByteArrayView covered = QByteArrayView(m_body).first(5);
    bool good = false;
    if (m_crc32) {
        const quint32 crc = crc32(covered);
        quint32 sent = 0;
        for (int i = 0; i < 4; ++i)
            sent |= quint32(static_cast<quint8>(m_body[5 + i])) << (8 * i);
        good = crc == sent;
    } else {
        const quint16 crc = crc16(covered);
        good = crc >> 8 == static_cast<quint8>(m_body[5])
            && (crc & 0xFFU) == static_cast<quint8>(m_body[6]);
    }
    if (!good) {
        reportWhole(items);
        return;
    }
    m_noisy = false;
    Header header;
    header.type = static_cast<quint8>(m_body[0]);
    for (int i = 0; i < 4; ++i)
        header.bytes[static_cast<std::size_t>(i)] = static_cast<quint8>(m_body[i + 1]);
    items.append({ Item::Kind::Header, header });
}

} // namespace zmodem
