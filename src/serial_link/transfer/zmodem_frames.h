#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QtGlobal>

#include <array>

namespace zmodem {

constexpr char kPad = '*';
constexpr char kDle = 0x18;
constexpr char kCan = 0x18;
constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;

/// Frame types.
enum FrameType : quint8 {
    ZRQINIT = 0,
    ZRINIT = 1,
    ZSINIT = 2,
    ZACK = 3,
    ZFILE = 4,
    ZSKIP = 5,
    ZNAK = 6,
    ZABORT = 7,
    ZFIN = 8,
    ZRPOS = 9,
    ZDATA = 10,
    ZEOF = 11,
    ZFERR = 12,
    ZCRC = 13,
    ZCHALLENGE = 14,
    ZCOMPL = 15,
    ZCAN = 16,
    ZFREECNT = 17,
    ZCOMMAND = 18,
};

/// The receiver's capabilities in ZRINIT's ZF0.
enum ReceiverFlag : quint8 {
    CANFDX = 0x01,
    CANOVIO = 0x02,
    CANBRK = 0x04,
    CANFC32 = 0x20,
    ESCCTL = 0x40,
    ESC8 = 0x80,
};

/// ZFILE's ZF0 conversion and ZF1 management options.
constexpr quint8 ZCBIN = 1;
constexpr quint8 ZMCLOB = 4;

/// How a data subpacket ends.
enum class SubpacketEnd : char {
    EndNoReply = 'h', // ZCRCE
    MoreNoReply = 'i', // ZCRCG
    MoreAckExpected = 'j', // ZCRCQ
    EndAckExpected = 'k', // ZCRCW
};

/// A frame header: its type and the four bytes P0..P3, which carry either a file position
/// (least significant byte first) or the flags ZF3..ZF0.
struct Header
{
    quint8 type = 0;
    std::array<quint8, 4> bytes {};

    static Header withPosition(quint8 type, quint32 position);
    /// Flags in the order of the protocol's names: ZF0 is the last byte.
    static Header withFlags(quint8 type, quint8 zf0, quint8 zf1 = 0);

    quint32 position() const;
    quint8 zf0() const { return bytes[3]; }
    quint8 zf1() const { return bytes[2]; }

    friend bool operator==(const Header&, const Header&) = default;
};

/// ZDLE escaping of the bytes that follow a binary header's indicator: ZDLE itself, XON and
/// XOFF with and without the parity bit, and a carriage return after '@', which a network may
/// take for its command escape (so the escaper remembers the last byte it put on the line).
/// DLE is left as it is unless the receiver asks for every control character to be escaped:
/// receivers take it as data, and on random data escaping it would cost almost 1 % of the line.
class Escaper
{
public:
    /// escapeControl: escape every control character as well (the receiver's ESCCTL).
    explicit Escaper(bool escapeControl = false)
        : m_escapeControl(escapeControl)
    { }

    void append(QByteArray& out, QByteArrayView bytes);
    void append(QByteArray& out, char byte);
    /// Raw bytes that went onto the line between escaped runs (the ZDLE before a terminator).
    void noteRaw(char byte) { m_last = byte; }

private:
    bool m_escapeControl = false;
    char m_last = 0;
};

/// "**" ZDLE "B", the header in lower-case hex with its CRC-16, CR LF and, except after ZACK
/// and ZFIN, XON.
QByteArray hexHeader(const Header& header);

/// "*" ZDLE "A" (CRC-16) or "*" ZDLE "C" (CRC-32), then the escaped header and CRC.
QByteArray binaryHeader(const Header& header, bool crc32, Escaper& escaper);

/// Up to 1024 data bytes, escaped, then ZDLE, the end byte, and the CRC over data and end byte.
QByteArray dataSubpacket(QByteArrayView data, SubpacketEnd end, bool crc32, Escaper& escaper);

/// Finds headers in what a receiver sends: hex and binary headers, with stray XON/XOFF and
/// line ends between them skipped, and five CAN bytes in a row as the session's abort. Other
/// bytes between headers are what is left of a garbled header: the first of them is reported
/// as a bad header.
class HeaderReader
{
public:
    struct Item
    {
        enum class Kind { Header, BadHeader, Cancelled };
        Kind kind = Kind::Header;
        Header header;
    };

    /// Feeds received bytes; returns what they complete, in order.
    QList<Item> feed(QByteArrayView bytes);

private:
    enum class State { Hunt, Pad, Dle, Hex, Binary };

    void reset();
    void take(char c, QList<Item>& items);
    void reportBad(QList<Item>& items);
    /// A whole header whose CRC is wrong.
    void reportWhole(QList<Item>& items);
    void finishHex(QList<Item>& items);
    void finishBinary(QList<Item>& items);

    State m_state = State::Hunt;
    QByteArray m_body;
    bool m_escaped = false;
    bool m_crc32 = false;
    int m_cans = 0;
    bool m_noisy = false;
};

} // namespace zmodem
