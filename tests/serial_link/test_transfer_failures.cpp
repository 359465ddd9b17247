#include "fakes/scripted_receiver.h"
#include "serial_link/transfer/transfer_sender.h"
#include "serial_link/transfer/zmodem_frames.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

// The senders against receivers played by the tests: the ways a transfer fails, and the
// recoveries that lrzsz never asks for.

using namespace zmodem;

namespace {

const QByteArray kCancel = QByteArray(8, '\x18') + QByteArray(10, '\b');
constexpr TransferLimits kQuick { 3, 200, 400 };

QByteArray randomBytes(int size)
{
    QRandomGenerator generator(7);
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator.bounded(256));
    return bytes;
}

struct Outcome
{
    bool success = false;
    QString reason;
    int discards = 0;
    qint64 acknowledged = 0;
};

Outcome run(TransferProtocol protocol, ScriptedReceiver& device, const QByteArray& content,
    TransferLimits limits = kQuick)
{
    Outcome outcome;
    std::unique_ptr<TransferSender> sender = TransferSender::create(
        protocol, device, TransferFile { "server.ini", content, 1700000000, 0100644 }, limits);
    sender->setOutputDiscarder([&outcome] { ++outcome.discards; });
    QSignalSpy finished(sender.get(), &TransferSender::finished);
    sender->start();
    if (finished.isEmpty() && !finished.wait(20000))
        return outcome;
    outcome.success = finished.first().at(0).toBool();
    outcome.reason = finished.first().at(1).toString();
    outcome.acknowledged = sender->acknowledged();
    return outcome;
}

/// A ZMODEM receiver that keeps the file it is sent; hooks let a test break the rules.
struct FakeZmodemReceiver
{
    explicit FakeZmodemReceiver(
        ScriptedReceiver& port, quint8 flags = CANFDX | CANOVIO | CANFC32, quint16 buffer = 0)
        : device(port)
        , decoder((flags & CANFC32) != 0)
        , zrinit(Header { ZRINIT, { quint8(buffer & 0xFF), quint8(buffer >> 8), 0, flags } })
    {
        device.script = [this](const QByteArray& chunk) {
            for (const ZmodemDecoder::Event& event : decoder.feed(chunk))
                if (!intercept || !intercept(event))
                    handle(event);
        };
    }

    void handle(const ZmodemDecoder::Event& event)
    {
        using Kind = ZmodemDecoder::Event::Kind;
        if (event.kind == Kind::Header) {
            lastHeader = event.header.type;
            switch (event.header.type) {
            case ZRQINIT:
                device.reply(hexHeader(zrinit));
                break;
            case ZDATA:
                dataPositions.append(event.header.position());
                skipping = event.header.position() != quint32(file.size());
                if (skipping)
                    device.reply(hexHeader(Header::withPosition(ZRPOS, file.size())));
                break;
            case ZEOF:
                device.reply(hexHeader(zrinit));
                break;
            case ZFIN:
                device.reply(hexHeader(Header::withPosition(ZFIN, 0)));
                break;
            default:
                break;
            }
            return;
        }
        if (lastHeader == ZFILE) {
            fileInfo = event.data;
            device.reply(hexHeader(Header::withPosition(ZRPOS, 0)));
            return;
        }
        if (event.kind == Kind::BadSubpacket) {
            skipping = true;
            device.reply(hexHeader(Header::withPosition(ZRPOS, file.size())));
            return;
        }
        if (skipping)
            return;
        file += event.data;
        if (event.end == 'j' || event.end == 'k')
            device.reply(hexHeader(Header::withPosition(ZACK, file.size())));
    }

    ScriptedReceiver& device;
    ZmodemDecoder decoder;
    Header zrinit;
    std::function<bool(const ZmodemDecoder::Event&)> intercept;
    quint8 lastHeader = 0xFF;
    bool skipping = false;
    QByteArray fileInfo;
    QByteArray file;
    QList<quint32> dataPositions;
};

bool isData(const ZmodemDecoder::Event& event)
{
    return event.kind == ZmodemDecoder::Event::Kind::Subpacket
        && !event.data.contains("server.ini");
}

} // namespace

class TestTransferFailures : public QObject
{
    Q_OBJECT

private slots:
    void zmodemEndsAsFailed_data();
    void zmodemEndsAsFailed();
    void zmodemResumesFromAnEarlierOffset();
    void zmodemFollowsTheReceiversOptions_data();
    void zmodemFollowsTheReceiversOptions();
    void zmodemOffersNameLengthTimeAndMode();
    void blockProtocolsEndAsFailed_data();
    void blockProtocolsEndAsFailed();
    void eotRefusedOnceIsSentAgain();
    void ymodemHeaderBlock();
    void lineRefusingDataIsPortLost_data();
    void lineRefusingDataIsPortLost();
};

void TestTransferFailures::zmodemEndsAsFailed_data()
{
    QTest::addColumn<QString>("misdeed");
    QTest::addColumn<QString>("reason");

    QTest::newRow("file skipped") << "ZSKIP"
                                  << "receiver skipped the file";
    QTest::newRow("session aborted") << "ZABORT"
                                     << "receiver aborted";
    QTest::newRow("file error") << "ZFERR"
                                << "receiver could not write the file";
    QTest::newRow("CAN during the data") << "CAN"
                                         << "receiver cancelled";
    QTest::newRow("no receiver at all") << "silent"
                                        << "no answer";
    QTest::newRow("no answer to the file offer") << "ignore ZFILE"
                                                 << "no answer";
    QTest::newRow("no answer to the end of file") << "ignore ZEOF"
                                                  << "no answer";
    QTest::newRow("same offset asked again and again") << "ZRPOS 0"
                                                       << "too many errors";
}

void TestTransferFailures::zmodemEndsAsFailed()
{
    QFETCH(QString, misdeed);
    QFETCH(QString, reason);
    ScriptedReceiver device;
    FakeZmodemReceiver receiver(device);
    receiver.intercept = [&](const ZmodemDecoder::Event& event) {
        const bool header = event.kind == ZmodemDecoder::Event::Kind::Header;
        if (misdeed == "silent")
            return true;
        if (misdeed == "ignore ZFILE")
            return receiver.lastHeader == ZFILE || (header && event.header.type == ZFILE);
        if (misdeed == "ignore ZEOF")
            return header && event.header.type == ZEOF;
        if (misdeed == "ZSKIP" && !header && receiver.lastHeader == ZFILE) {
            device.reply(hexHeader(Header::withFlags(ZSKIP, 0x23)));
            return true;
        }
        if (!isData(event) || receiver.lastHeader != ZDATA)
            return false;
        if (misdeed == "CAN")
            device.reply(QByteArray(8, '\x18'));
        else if (misdeed == "ZRPOS 0")
            device.reply(hexHeader(Header::withPosition(ZRPOS, 0)));
        else if (misdeed == "ZABORT" || misdeed == "ZFERR")
            device.reply(hexHeader(Header::withPosition(misdeed == "ZABORT" ? ZABORT : ZFERR, 0)));
        return misdeed != "ZSKIP";
    };

    const Outcome outcome = run(TransferProtocol::Zmodem, device, randomBytes(5000));
    QCOMPARE(outcome.success, false);
    QCOMPARE(outcome.reason, reason);
    QVERIFY(outcome.acknowledged < 5000);
    QVERIFY2(device.written.endsWith(kCancel), "the receiver is told that the session ends");
}

void TestTransferFailures::zmodemResumesFromAnEarlierOffset()
{
    ScriptedReceiver device;
    FakeZmodemReceiver receiver(device);
    bool asked = false;
    receiver.intercept = [&](const ZmodemDecoder::Event& event) {
        if (asked || !isData(event) || receiver.file.size() < 4096)
            return false;
        // As if everything after 1024 had arrived damaged.
        asked = true;
        receiver.file.truncate(1024);
        receiver.skipping = true;
        device.reply(hexHeader(Header::withPosition(ZRPOS, 1024)));
        return true;
    };
    const QByteArray content = randomBytes(12000);
    const Outcome outcome = run(TransferProtocol::Zmodem, device, content);
    QCOMPARE(outcome.reason, QString());
    QVERIFY(outcome.success);
    QCOMPARE(outcome.discards, 1);
    QCOMPARE(receiver.dataPositions, (QList<quint32> { 0, 1024 }));
    QCOMPARE(receiver.file.size(), content.size());
    QCOMPARE(receiver.file, content);
}

void TestTransferFailures::zmodemFollowsTheReceiversOptions_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("buffer");

    QTest::newRow("CRC-16 only") << int(CANFDX | CANOVIO) << 0;
    QTest::newRow("control characters escaped") << int(CANFDX | CANOVIO | CANFC32 | ESCCTL) << 0;
    QTest::newRow("2 KiB buffer") << int(CANFDX | CANOVIO | CANFC32) << 2048;
    QTest::newRow("no overlapped input") << int(CANFDX | CANFC32) << 0;
}

void TestTransferFailures::zmodemFollowsTheReceiversOptions()
{
    QFETCH(int, flags);
    QFETCH(int, buffer);
    ScriptedReceiver device;
    FakeZmodemReceiver receiver(device, quint8(flags), quint16(buffer));
    qint64 unconfirmed = 0;
    qint64 mostUnconfirmed = 0;
    receiver.intercept = [&](const ZmodemDecoder::Event& event) {
        if (isData(event) && receiver.lastHeader == ZDATA) {
            unconfirmed
                = event.end == 'j' || event.end == 'k' ? 0 : unconfirmed + event.data.size();
            mostUnconfirmed = std::max(mostUnconfirmed, unconfirmed);
        }
        return false;
    };
    const QByteArray content = randomBytes(10000);
    const Outcome outcome = run(TransferProtocol::Zmodem, device, content);
    QVERIFY(outcome.success);
    QCOMPARE(receiver.file, content);
    if (flags & ESCCTL) {
        // From the file offer on, no control character but ZDLE goes out raw.
        const QByteArray frames = device.written.mid(device.written.indexOf("*\x18"
                                                                            "C"));
        for (const char c : frames)
            QVERIFY2(
                c == '\x18' || (quint8(c) & 0x60) != 0, qPrintable(QString::number(quint8(c), 16)));
    }
    if (buffer > 0)
        QVERIFY(mostUnconfirmed < buffer);
    if ((flags & CANOVIO) == 0)
        QCOMPARE(mostUnconfirmed, 0);
}

void TestTransferFailures::zmodemOffersNameLengthTimeAndMode()
{
    ScriptedReceiver device;
    FakeZmodemReceiver receiver(device);
    Header offer;
    receiver.intercept = [&](const ZmodemDecoder::Event& event) {
        if (event.kind == ZmodemDecoder::Event::Kind::Header && event.header.type == ZFILE)
            offer = event.header;
        return false;
    };
    QVERIFY(run(TransferProtocol::Zmodem, device, "DHCP=1\r\n").success);
    QVERIFY(device.written.startsWith("rz\r**\x18"
                                      "B00"));
    QCOMPARE(offer.zf0(), ZCBIN);
    QCOMPARE(offer.zf1(), ZMCLOB);
    QCOMPARE(receiver.fileInfo,
        QByteArray("server.ini\0"
                   "8 14524770400 100644\0",
            32));
    QVERIFY(device.written.endsWith("OO"));
}

void TestTransferFailures::blockProtocolsEndAsFailed_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("misdeed");
    QTest::addColumn<QString>("reason");

    const int x = int(TransferProtocol::Xmodem);
    const int y = int(TransferProtocol::Ymodem);
    QTest::newRow("XMODEM, CAN CAN") << x << "CAN"
                                     << "receiver cancelled";
    QTest::newRow("YMODEM, CAN CAN") << y << "CAN"
                                     << "receiver cancelled";
    QTest::newRow("XMODEM, every EOT refused") << x << "NAK EOT"
                                               << "too many errors";
    QTest::newRow("YMODEM, every block refused") << y << "NAK"
                                                 << "too many errors";
    QTest::newRow("XMODEM, receiver never opens") << x << "silent"
                                                  << "no answer";
    QTest::newRow("YMODEM, silence after the first block") << y << "mute"
                                                           << "no answer";
}

void TestTransferFailures::blockProtocolsEndAsFailed()
{
    QFETCH(int, protocol);
    QFETCH(QString, misdeed);
    QFETCH(QString, reason);
    ScriptedReceiver device;
    int blocks = 0;
    device.script = [&](const QByteArray& chunk) {
        const bool eot = chunk == "\x04";
        if (!eot)
            ++blocks;
        if (misdeed == "CAN" && blocks == 3)
            device.reply("\x18\x18");
        else if ((misdeed == "NAK EOT" && eot) || (misdeed == "NAK" && blocks > 1))
            device.reply("\x15");
        else if (misdeed != "mute" || blocks < 2)
            device.reply(blocks == 1 && !eot && protocol == int(TransferProtocol::Ymodem) ? "\x06"
                                                                                            "C"
                                                                                          : "\x06");
    };
    if (misdeed != "silent")
        device.reply("C");
    const Outcome outcome
        = run(static_cast<TransferProtocol>(protocol), device, randomBytes(3000), kQuick);
    QCOMPARE(outcome.success, false);
    QCOMPARE(outcome.reason, reason);
    QVERIFY(device.written.endsWith(kCancel));
}

void TestTransferFailures::eotRefusedOnceIsSentAgain()
{
    ScriptedReceiver device;
    int eots = 0;
    device.script = [&](const QByteArray& chunk) {
        // A receiver may refuse the first EOT, to be sure of it.
        const bool eot = chunk == "\x04";
        eots += eot ? 1 : 0;
        device.reply(eot && eots == 1 ? "\x15" : "\x06");
    };
    device.reply("\x15");
    const QByteArray content = randomBytes(200);
    const Outcome outcome = run(TransferProtocol::Xmodem, device, content);
    QVERIFY(outcome.success);
    QCOMPARE(eots, 2);
    // Checksum blocks, as the receiver opened with NAK; the last one padded with 0x1A.
    QCOMPARE(device.written.size(), 2 * 132 + 2);
    const QByteArray second = device.written.mid(132, 132);
    QCOMPARE(second.left(3), QByteArray("\x01\x02\xfd"));
    QCOMPARE(second.mid(3, 72), content.mid(128));
    QCOMPARE(second.mid(75, 56), QByteArray(56, '\x1a'));
    quint8 sum = 0;
    for (const char c : second.mid(3, 128))
        sum = quint8(sum + quint8(c));
    QCOMPARE(quint8(second[131]), sum);
}

void TestTransferFailures::ymodemHeaderBlock()
{
    ScriptedReceiver device;
    device.script = [&](const QByteArray& chunk) {
        const bool header = chunk.startsWith(QByteArray("\x01\x00\xff", 3));
        device.reply(header || chunk == "\x04" ? "\x06"
                                                 "C"
                                               : "\x06");
    };
    device.reply("C");
    const Outcome outcome = run(TransferProtocol::Ymodem, device, QByteArray(300, 'x'));
    QCOMPARE(outcome.reason, QString());
    QVERIFY(outcome.success);
    QByteArray expected("\x01\x00\xff"
                        "server.ini\0"
                        "300 14524770400 100644\0",
        37);
    expected.append(128 + 3 - expected.size(), '\0');
    const quint16 crc = 0x0c31;
    expected += char(crc >> 8);
    expected += char(crc & 0xFF);
    QCOMPARE(device.written.left(133).toHex(), expected.toHex());
    // Three 128-byte blocks rather than one padded 1K block; the batch ends with an empty
    // block 0.
    QCOMPARE(device.written.size(), 133 + 3 * 133 + 1 + 133);
    QCOMPARE(device.written.right(133).left(3), QByteArray("\x01\x00\xff", 3));
    QCOMPARE(device.written.right(130).left(128), QByteArray(128, '\0'));
}

void TestTransferFailures::lineRefusingDataIsPortLost_data()
{
    QTest::addColumn<int>("protocol");
    QTest::newRow("plain") << int(TransferProtocol::Plain);
    QTest::newRow("XMODEM") << int(TransferProtocol::Xmodem);
    QTest::newRow("ZMODEM") << int(TransferProtocol::Zmodem);
}

void TestTransferFailures::lineRefusingDataIsPortLost()
{
    QFETCH(int, protocol);
    ScriptedReceiver device;
    FakeZmodemReceiver receiver(device);
    if (protocol == int(TransferProtocol::Xmodem)) {
        device.script = [&](const QByteArray&) { device.reply("\x06"); };
        device.reply("C");
    }
    device.failAfter = 2000;
    const Outcome outcome = run(static_cast<TransferProtocol>(protocol), device, randomBytes(5000));
    QCOMPARE(outcome.success, false);
    QCOMPARE(outcome.reason, QStringLiteral("port lost"));
    QVERIFY(device.written.size() <= 2000);
}

QTEST_GUILESS_MAIN(TestTransferFailures)
#include "test_transfer_failures.moc"
