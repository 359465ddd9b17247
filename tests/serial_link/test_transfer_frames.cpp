#include "serial_link/transfer/crc.h"
#include "serial_link/transfer/zmodem_frames.h"

#include <QTest>

// Known answers for the checks and frames the senders put on the line, and for the reading of
// what a receiver sends back.

using namespace zmodem;

Q_DECLARE_METATYPE(zmodem::Header)

class TestTransferFrames : public QObject
{
    Q_OBJECT

private slots:
    void checks();
    void hexHeaders_data();
    void hexHeaders();
    void escaping_data();
    void escaping();
    void binaryFrames_data();
    void binaryFrames();
    void readsHeaders_data();
    void readsHeaders();
};

void TestTransferFrames::checks()
{
    QCOMPARE(crc16("123456789"), quint16(0x31C3));
    QCOMPARE(crc32("123456789"), quint32(0xCBF43926));
    QCOMPARE(crc16("6789", crc16("12345")), quint16(0x31C3));
    QCOMPARE(crc32("6789", crc32("12345")), quint32(0xCBF43926));
    QCOMPARE(crc16(""), quint16(0));
    QCOMPARE(crc32(""), quint32(0));
}

void TestTransferFrames::hexHeaders_data()
{
    QTest::addColumn<Header>("header");
    QTest::addColumn<QByteArray>("bytes");

    // The first three as lrzsz's rz sends them.
    QTest::newRow("ZRINIT") << Header::withFlags(ZRINIT, CANFDX | CANOVIO | CANFC32)
                            << QByteArray("**\x18"
                                          "B0100000023be50\r\x8a\x11");
    QTest::newRow("ZRINIT with ESCCTL")
        << Header::withFlags(ZRINIT, CANFDX | CANOVIO | CANFC32 | ESCCTL)
        << QByteArray("**\x18"
                      "B0100000063f694\r\x8a\x11");
    QTest::newRow("ZSKIP") << Header::withFlags(ZSKIP, 0x23)
                           << QByteArray("**\x18"
                                         "B05000000233756\r\x8a\x11");
    QTest::newRow("ZFIN, no XON") << Header::withPosition(ZFIN, 0)
                                  << QByteArray("**\x18"
                                                "B0800000000022d\r\x8a");
    QTest::newRow("ZACK, no XON") << Header::withPosition(ZACK, 0x1234)
                                  << QByteArray("**\x18"
                                                "B033412000025c9\r\x8a");
}

void TestTransferFrames::hexHeaders()
{
    QFETCH(Header, header);
    QFETCH(QByteArray, bytes);
    QCOMPARE(hexHeader(header), bytes);
}

void TestTransferFrames::escaping_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("controls");
    QTest::addColumn<QByteArray>("escaped");

    QTest::newRow("ZDLE") << QByteArray("\x18") << false << QByteArray("\x18\x58");
    QTest::newRow("XON, XOFF") << QByteArray("\x11\x13") << false << QByteArray("\x18\x51\x18\x53");
    QTest::newRow("XON, XOFF with parity")
        << QByteArray("\x91\x93") << false << QByteArray("\x18\xd1\x18\xd3");
    QTest::newRow("CR after @") << QByteArray("@\r") << false << QByteArray("@\x18\x4d");
    QTest::newRow("CR with parity after @ with parity")
        << QByteArray("\xc0\x8d") << false << QByteArray("\xc0\x18\xcd");
    QTest::newRow("CR after anything else") << QByteArray("A\r\r") << false << QByteArray("A\r\r");
    QTest::newRow("DLE, NUL, 0x7f, 0xff pass")
        << QByteArray("\x10\x90\x00\x7f\xff", 5) << false << QByteArray("\x10\x90\x00\x7f\xff", 5);
    QTest::newRow("control characters when asked") << QByteArray(
        "\x01\x10\x9f\x20\x0d", 5) << true << QByteArray("\x18\x41\x18\x50\x18\xdf\x20\x18\x4d");
}

void TestTransferFrames::escaping()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, controls);
    QFETCH(QByteArray, escaped);
    Escaper escaper(controls);
    QByteArray out;
    escaper.append(out, data);
    QCOMPARE(out.toHex(' '), escaped.toHex(' '));
}

void TestTransferFrames::binaryFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("bytes");

    Escaper plain;
    Escaper controls(true);
    const QByteArray data("\x40\x0d\x10\x7f");
    QTest::newRow("CRC-16 header, escaped position")
        << binaryHeader(Header::withPosition(ZDATA, 0x13001811), false, plain)
        << QByteArray("\x2a\x18\x41\x0a\x18\x51\x18\x58\x00\x18\x53\xe3\x2d", 13);
    QTest::newRow("CRC-32 header, flags") << binaryHeader(Header::withFlags(ZFILE, ZCBIN, ZMCLOB),
        true, plain) << QByteArray("\x2a\x18\x43\x04\x00\x00\x04\x01\x4f\xa4\xc9\x20", 12);
    QTest::newRow("CRC-32 subpacket, ZCRCW") << dataSubpacket(data, SubpacketEnd::EndAckExpected,
        true, plain) << QByteArray("\x40\x18\x4d\x10\x7f\x18\x6b\x10\x09\x5a\x02");
    QTest::newRow("CRC-16 subpacket, ZCRCG") << dataSubpacket(data, SubpacketEnd::MoreNoReply,
        false, plain) << QByteArray("\x40\x18\x4d\x10\x7f\x18\x69\x8e\x65");
    QTest::newRow("CRC-32 subpacket, ZCRCE, control characters escaped")
        << dataSubpacket("\x01\x10\x41\x0d", SubpacketEnd::EndNoReply, true, controls)
        << QByteArray("\x18\x41\x18\x50\x41\x18\x4d\x18\x68\xe2\xf9\xc4\x2c");
}

void TestTransferFrames::binaryFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, bytes);
    QCOMPARE(frame.toHex(' '), bytes.toHex(' '));
}

void TestTransferFrames::readsHeaders_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("items");

    QTest::newRow("rz's ZRINIT") << QByteArray("**\x18"
                                               "B0100000023be50\r\x8a\x11")
                                 << "H1:00000023";
    QTest::newRow("two headers, line ends and XON between") << QByteArray(
        "**\x18"
        "B0100000023be50\r\n\x11\x13**\x18"
        "B0900010000"
        "9f4c\r\x8a") << "H1:00000023 H9:00010000";
    QTest::newRow("upper-case hex") << QByteArray("**\x18"
                                                  "B0100000023BE50\r\x8a")
                                    << "H1:00000023";
    QTest::newRow("CRC-32 binary header, escaped")
        << QByteArray("\x2a\x18\x43\x04\x00\x00\x04\x01\x4f\xa4\xc9\x20", 12) << "H4:00000401";
    QTest::newRow("CRC-16 binary header, escaped")
        << QByteArray("\x2a\x18\x41\x0a\x18\x51\x18\x58\x00\x18\x53\xe3\x2d", 13) << "H10:11180013";
    QTest::newRow("a wrong CRC") << QByteArray("**\x18"
                                               "B0100000023be51\r\x8a")
                                 << "bad";
    QTest::newRow("a header cut short, then a good one") << QByteArray("**\x18"
                                                                       "B01000\r\x8a**\x18"
                                                                       "B0100000023be50\r\x8a")
                                                         << "bad H1:00000023";
    QTest::newRow("remains of a garbled header are one bad header") << QByteArray(
        "*\x19"
        "B0100000023be50\r\x8a\x11**\x18"
        "B0100000023be50") << "bad H1:00000023";
    QTest::newRow("five CAN") << QByteArray("\x18\x18\x18\x18\x18") << "cancelled";
    QTest::newRow("four CAN are not enough") << QByteArray("\x18\x18\x18\x18"
                                                           "B")
                                             << "bad";
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
            switch (item.kind) {
            case HeaderReader::Item::Kind::Header:
                found << QStringLiteral("H%1:%2")
                             .arg(item.header.type)
                             .arg(QByteArray(
                                 reinterpret_cast<const char*>(item.header.bytes.data()), 4)
                                      .toHex());
                break;
            case HeaderReader::Item::Kind::BadHeader:
                found << "bad";
                break;
            case HeaderReader::Item::Kind::Cancelled:
                found << "cancelled";
                break;
            }
        }
    }
    QCOMPARE(found.join(' '), items);
}

QTEST_APPLESS_MAIN(TestTransferFrames)
#include "test_transfer_frames.moc"
