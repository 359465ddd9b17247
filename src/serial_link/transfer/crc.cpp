#include "serial_link/transfer/crc.h"

#include <array>

namespace {

constexpr std::array<quint16, 256> makeCrc16Table()
{
    std::array<quint16, 256> table {};
    for (unsigned n = 0; n < 256; ++n) {
        unsigned value = n << 8;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 0x8000U) ? (value << 1) ^ 0x1021U : value << 1;
        table[n] = static_cast<quint16>(value);
    }
    return table;
}

constexpr std::array<quint32, 256> makeCrc32Table()
{
    std::array<quint32, 256> table {};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 value = n;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1U) ? (value >> 1) ^ 0xEDB88320U : value >> 1;
        table[n] = value;
    }
    return table;
}

constexpr auto kCrc16Table = makeCrc16Table();
constexpr auto kCrc32Table = makeCrc32Table();

} // namespace

quint16 crc16(QByteArrayView data, quint16 crc)
{
    for (const char c : data) {
        const auto byte = static_cast<quint8>(c);
        crc = static_cast<quint16>((crc << 8) ^ kCrc16Table[((crc >> 8) ^ byte) & 0xFFU]);
    }
    return crc;
}

quint32 crc32(QByteArrayView data, quint32 crc)
{
    crc = ~crc;
    for (const char c : data)
        crc = (crc >> 8) ^ kCrc32Table[(crc ^ static_cast<quint8>(c)) & 0xFFU];
    return ~crc;
}
