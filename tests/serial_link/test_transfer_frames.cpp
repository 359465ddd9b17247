#include "serial_link/transfer/zmodem_frames.h"

#include <QTest>

// Known answers for the frames the senders put on the line, their CRC-16 and CRC-32 among them,
// and for the reading of what a receiver sends back.

using namespace zmodem;

class TestTransferFrames : public QObject
{
    Q_OBJECT

private slots:
    void frames_data();
    void frames();
    void readsHeaders_data();
    void readsHeaders();
};

void TestTransferFrames::frames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("bytes");

    const auto escaped = [](QByteArrayView data, bool controls) {
        QByteArray out;
        Escaper(controls).append(out, data);
        return out;
    };
    Escaper plain;
    QTest::newRow("hex ZRINIT as rz sends it: flags, XON at the end")
        << hexHeader(Header::withFlags(ZRINIT, CANFDX | CANOVIO | CANFC32))
        << QByteArray("**\x18") + "B0100000023be50\r\x8a\x11";
    QTest::newRow("hex ZACK: a position, no XON") << hexHeader(Header::withPosition(ZACK, 0x1234))
                                                  << QByteArray("**\x18") + "B033412000025c9\r\x8a";
    QTest::newRow("ZDLE, XON, XOFF with and without parity, CR after @ likewise; no others")
        << escaped(QByteArray::fromHex("18 11 13 91 93 40 0d c0 8d 41 0d 10 00 7f ff"), false)
        << QByteArray::fromHex("18 58 18 51 18 53 18 d1 18 d3 40 18 4d c0 18 cd 41 0d 10 00 7f ff");
    QTest::newRow("control characters when asked") << escaped(
        "\x01\x10\x9f\x20\x0d", true) << QByteArray("\x18\x41\x18\x50\x18\xdf\x20\x18\x4d");
    QTest::newRow("CRC-16 header, escaped position")
        << binaryHeader(Header::withPosition(ZDATA, 0x13001811), false, plain)
        << QByteArray("\x2a\x18\x41\x0a\x18\x51\x18\x58\x00\x18\x53\xe3\x2d", 13);
    QTest::newRow("CRC-32 header, flags") << binaryHeader(Header::withFlags(ZFILE, ZCBIN, ZMCLOB),
        true, plain) << QByteArray("\x2a\x18\x43\x04\x00\x00\x04\x01\x4f\xa4\xc9\x20", 12);
    QTest::newRow("CRC-32 subpacket, ZCRCW")
        << dataSubpacket("\x40\x0d\x10\x7f", SubpacketEnd::EndAckExpected, true, plain)
        << QByteArray("\x40\x18\x4d\x10\x7f\x18\x6b\x10\x09\x5a\x02");
}

void TestTransferFrames::frames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, bytes);
    QCOMPARE(frame.toHex(' '), bytes.toHex(' '));
}

void TestTransferFrames::readsHeaders_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("items");

    // "**" ZDLE "B": a hex header begins; rz's ZRINIT.
    const QByteArray hex = QByteArray("**\x18") + 'B';
    const QByteArray zrinit = hex + "0100000023be50\r\x8a";
    QTest::newRow("two headers, line ends and XON between, upper-case hex")
        << zrinit + "\n\x11\x13" + hex + "09000100009F4C\r\x8a"
        << "H1:00000023 H9:00010000";
    QTest::newRow("CRC-32 binary header, escaped")
        << QByteArray("\x2a\x18\x43\x04\x00\x00\x04\x01\x4f\xa4\xc9\x20", 12) << "H4:00000401";
    QTest::newRow("CRC-16 binary header, escaped")
        << QByteArray("\x2a\x18\x41\x0a\x18\x51\x18\x58\x00\x18\x53\xe3\x2d", 13) << "H10:11180013";
    QTest::newRow("a wrong CRC, twice") << hex + "0100000023be51\r\x8a" + hex + "0100000023be51"
                                        << "bad bad";
    QTest::newRow("a header cut short, then a good one")
        << hex + "01000\r\x8a" + zrinit << "bad H1:00000023";
    QTest::newRow("remains of a garbled header are one bad header")
        << "*\x19" + zrinit.mid(3) + "\x11" + zrinit << "bad H1:00000023";
    QTest::newRow("five CAN") << QByteArray(5, '\x18') << "cancelled";
    QTest::newRow("four CAN are not enough") << QByteArray(4, '\x18') + 'B' << "bad";
}

void TestTransferFrames::readsHeaders()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, items);
    HeaderReader reader;
    QStringList found;
    // Byte by byte, as a slow line delivers them.
    for (const char c : input) {
        for (const HeaderReader::Item& item : reader.feed(QByteArrayView(&c, 1))) {
            const QByteArray bytes(reinterpret_cast<const char*>(item.header.bytes.data()), 4);
            found << (item.kind == HeaderReader::Item::Kind::Header
                    ? QStringLiteral("H%1:%2").arg(item.header.type).arg(bytes.toHex())
                    : item.kind == HeaderReader::Item::Kind::BadHeader ? "bad"
                                                                       : "cancelled");
        }
    }
    QCOMPARE(found.join(' '), items);
}

QTEST_APPLESS_MAIN(TestTransferFrames)
#include "test_transfer_frames.moc"
