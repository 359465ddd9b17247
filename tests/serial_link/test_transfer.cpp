#include "serial_link/transfer/transfer_sender.h"
#include "serial_link/transfer/zmodem_frames.h"
#include "testkit/line_simulator.h"
#include "testkit/scripted_receiver.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

// The senders: known answers for the frames they put on the line, their CRC-16 and CRC-32 among
// them, and for the reading of what a receiver sends back; the senders against receivers played
// by the tests (the ways a transfer fails, and the recoveries and receiver options that lrzsz
// never asks for); and each protocol against lrzsz's receivers over a simulated line, clean or
// with bits flipped, every file compared byte for byte with what arrived.

using namespace zmodem;

namespace {

using Command = std::vector<std::string>;

const QByteArray kCancel = QByteArray(8, '\x18') + QByteArray(10, '\b');

constexpr qint64 kModified = 1700000000;

struct Outcome
{
    QString result = "still running"; // "done", or why the transfer failed
    int discards = 0;
};

// Sends content as SERVER.INI over device and waits for the end.
Outcome run(TransferProtocol protocol, QIODevice& device, const QByteArray& content,
    const QByteArray& earlierInput = {}, TransferLimits limits = { 3, 200, 400 })
{
    Outcome outcome;
    const std::unique_ptr<TransferSender> sender = TransferSender::create(
        protocol, device, { "SERVER.INI", content, kModified, 0100640 }, limits);
    sender->setOutputDiscarder([&outcome, &device] {
        ++outcome.discards;
        // A port drops what it has not sent yet; a scripted receiver has taken it all.
        if (auto* port = qobject_cast<QSerialPort*>(&device))
            port->clear(QSerialPort::Output);
    });
    QSignalSpy finished(sender.get(), &TransferSender::finished);
    sender->start(earlierInput);
    if (finished.isEmpty() && !finished.wait(120000))
        return outcome;
    // A success carries no reason.
    const QString reason = finished[0][1].toString();
    outcome.result = finished[0][0].toBool() && reason.isEmpty() ? "done" : reason;
    return outcome;
}

// Every byte that ZMODEM escapes, the '@' CR pairs, 0x1A and NUL among text, then every byte
// value (289 bytes so far), then random bytes: the first size of them.
QByteArray sample(int size)
{
    static constexpr char kText[]
        = "text\x18\x18 \x11\x13\x91\x93\x10\x90 @\r\n\xc0\x8d @@\r\r \x1a\x00 end";
    QByteArray bytes(kText, sizeof kText - 1);
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    QRandomGenerator generator(size);
    while (bytes.size() < size)
        bytes += static_cast<char>(generator.bounded(256));
    return bytes.left(size);
}

} // namespace

class TestTransfer : public QObject
{
    Q_OBJECT

private slots:
    void frames_data();
    void frames();
    void endsAsFailed_data();
    void endsAsFailed();
    void blocksFollowLateAnswers_data();
    void blocksFollowLateAnswers();
    void sendsToLrzsz_data();
    void sendsToLrzsz();
};

void TestTransfer::frames_data()
{
    // As the senders write it; none when the bytes are only read.
    QTest::addColumn<std::optional<QByteArray>>("frame");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("read"); // what the header reader finds in bytes; null: not read

    const auto escaped = [](QByteArrayView data, bool controls) {
        QByteArray out;
        Escaper(controls).append(out, data);
        return out;
    };
    Escaper plain;
    const auto row = [](const char* tag, const std::optional<QByteArray>& frame,
                         const QByteArray& bytes, const char* read = nullptr) {
        QTest::newRow(tag) << frame << bytes << QString(read);
    };
    // "**" ZDLE "B": a hex header begins; rz's ZRINIT.
    const QByteArray hex = QByteArray("**\x18") + 'B';
    const QByteArray zrinit = hex + "0100000023be50\r\x8a";
    row("hex ZRINIT as rz sends it: flags, XON at the end",
        hexHeader(Header::withFlags(ZRINIT, CANFDX | CANOVIO | CANFC32)), zrinit + "\x11",
        "H1:00000023");
    row("hex ZACK: a position, no XON", hexHeader(Header::withPosition(ZACK, 0x1234)),
        hex + "033412000025c9\r\x8a", "H3:34120000");
    row("ZDLE, XON, XOFF with and without parity, CR after @ likewise; no others",
        escaped(QByteArray::fromHex("18 11 13 91 93 40 0d c0 8d 41 0d 10 00 7f ff"), false),
        QByteArray::fromHex("18 58 18 51 18 53 18 d1 18 d3 40 18 4d c0 18 cd 41 0d 10 00 7f ff"));
    row("control characters when asked", escaped("\x01\x10\x9f\x20\x0d", true),
        "\x18\x41\x18\x50\x18\xdf\x20\x18\x4d");
    row("CRC-16 header, escaped position",
        binaryHeader(Header::withPosition(ZDATA, 0x13001811), false, plain),
        QByteArray("\x2a\x18\x41\x0a\x18\x51\x18\x58\x00\x18\x53\xe3\x2d", 13), "H10:11180013");
    row("CRC-32 header, flags", binaryHeader(Header::withFlags(ZFILE, ZCBIN, ZMCLOB), true, plain),
        QByteArray("\x2a\x18\x43\x04\x00\x00\x04\x01\x4f\xa4\xc9\x20", 12), "H4:00000401");
    row("CRC-32 subpacket, ZCRCW",
        dataSubpacket("\x40\x0d\x10\x7f", SubpacketEnd::EndAckExpected, true, plain),
        "\x40\x18\x4d\x10\x7f\x18\x6b\x10\x09\x5a\x02");
    // Read only.
    row("two headers, line ends and XON between, upper-case hex", {},
        zrinit + "\n\x11\x13" + hex + "09000100009F4C\r\x8a", "H1:00000023 H9:00010000");
    row("a wrong CRC, twice", {}, hex + "0100000023be51\r\x8a" + hex + "0100000023be51", "bad bad");
    row("a header cut short, then a good one", {}, hex + "01000\r\x8a" + zrinit, "bad H1:00000023");
    row("remains of a garbled header are one bad header", {},
        "*\x19" + zrinit.mid(3) + "\x11" + zrinit, "bad H1:00000023");
    row("five CAN", {}, QByteArray(5, '\x18'), "cancelled");
    row("four CAN are not enough", {}, QByteArray(4, '\x18') + 'B', "bad");
}

void TestTransfer::frames()
{
    QFETCH(std::optional<QByteArray>, frame);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, read);
    if (frame)
        QCOMPARE(frame->toHex(' '), bytes.toHex(' '));
    if (read.isNull())
        return;
    HeaderReader reader;
    QStringList found;
    // Byte by byte, as a slow line delivers them.
    for (const char c : bytes) {
        for (const HeaderReader::Item& item : reader.feed(QByteArrayView(&c, 1))) {
            const QByteArray header(reinterpret_cast<const char*>(item.header.bytes.data()), 4);
            found << (item.kind == HeaderReader::Item::Kind::Header
                    ? QStringLiteral("H%1:%2").arg(item.header.type).arg(header.toHex())
                    : item.kind == HeaderReader::Item::Kind::BadHeader ? "bad"
                                                                       : "cancelled");
        }
    }
    QCOMPARE(found.join(' '), read);
}

void TestTransfer::endsAsFailed_data()
{
    QTest::addColumn<TransferProtocol>("protocol");
    QTest::addColumn<int>("at");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QByteArray>("earlier"); // what the receiver said before the start

    // From at on the receiver answers answer (or nothing) instead of going on: for ZMODEM, at
    // is the sender's header; for XMODEM and YMODEM, its chunk (a block, EOT or a repeat). 5000
    // bytes are 40 XMODEM blocks.
    using enum TransferProtocol;
    const auto hex = [](quint8 type) { return hexHeader(Header::withPosition(type, 0)); };
    const auto row
        = [](const char* tag, TransferProtocol protocol, int at, const QByteArray& answer,
              const QString& reason, const QByteArray& earlier = {}) {
              QTest::newRow(tag) << protocol << at << answer << reason << earlier;
          };
    row("no receiver at all", Zmodem, ZRQINIT, {}, "no answer");
    row("file skipped", Zmodem, ZFILE, hex(ZSKIP), "receiver skipped the file");
    row("same offset asked again", Zmodem, ZDATA, hex(ZRPOS), "too many errors");
    row("CAN in the data", Zmodem, ZDATA, QByteArray(8, '\x18'), "receiver cancelled");
    row("no answer to the end of file", Zmodem, ZEOF, {}, "no answer");
    row("XMODEM, CAN CAN", Xmodem, 3, "\x18\x18", "receiver cancelled");
    row("XMODEM, EOT refused", Xmodem, 41, "\x15", "too many errors");
    row("YMODEM, block 0 taken, data never called for", Ymodem, 1000, {}, "no answer");
    // The receiver behaves, but the line refuses data after 2000 bytes: nothing more is sent.
    row("line refuses the data", Zmodem, -1, {}, "port lost");
    // The receiver behaves (at -2), but one switched on long before said something ahead of the
    // start: it gave up, or ended a session, with or without a call after (as it calls now).
    row("ZMODEM, a cancel before", Zmodem, -2, {}, "done", kCancel);
    row("ZMODEM, ended session headers, a cancel, a call before", Zmodem, -2, {}, "done",
        hex(ZABORT) + hex(ZCAN) + hex(ZSKIP) + kCancel
            + hexHeader(Header { ZRINIT, { 0x00, 0x08, 0, CANFDX | CANOVIO | CANFC32 } }));
    row("XMODEM, a call, then a cancel before", Xmodem, 1000, {}, "done", "CC" + kCancel);
    // The receiver (at -3) takes a stream but loses the first data subpacket and its request for
    // it: the sender streams it all, meets a silent end of file, and goes back once.
    row("ZMODEM, the first data lost", Zmodem, -3, {}, "done");
}

void TestTransfer::endsAsFailed()
{
    QFETCH(TransferProtocol, protocol);
    QFETCH(int, at);
    QFETCH(QByteArray, answer);
    QFETCH(QString, reason);
    QFETCH(QByteArray, earlier);
    ScriptedReceiver device;
    FakeZmodemReceiver receiver(device);
    receiver.stage = at;
    receiver.instead = answer;
    receiver.loseFirst = at == -3;
    receiver.buffer = at == -3 ? 0 : 2048;
    int chunks = 0;
    const bool zmodem = protocol == TransferProtocol::Zmodem;
    if (!zmodem) {
        device.script = [&](const QByteArray& chunk) {
            receiver.file += chunk.mid(3, 128);
            device.reply(++chunks < at ? "\x06" : answer);
        };
        device.reply("C");
    }
    device.failAfter = at == -1 ? 2000 : -1;
    // 5000 bytes: several subpackets, which a call answered twice would send twice; a stream of
    // 2000 meets the end of file before the sender waits for an acknowledgement. An XMODEM
    // receiver here takes one block a chunk.
    const QByteArray content = sample(at == -3 ? 2000 : earlier.isEmpty() || zmodem ? 5000 : 10);
    const Outcome outcome = run(protocol, device, content, earlier);
    QCOMPARE(outcome.result, reason);
    QCOMPARE(device.written.endsWith(kCancel), at >= 0 && reason != "done");
    QVERIFY(receiver.buffer == 0 || receiver.longestSegment <= 2048);
    QVERIFY(at != -3 || outcome.discards == 1);
    QVERIFY(reason != "done" || receiver.file.startsWith(content));
    QVERIFY(reason != "done" || !zmodem || receiver.file == content);
}

void TestTransfer::blocksFollowLateAnswers_data()
{
    QTest::addColumn<TransferProtocol>("protocol");
    QTest::addColumn<int>("late");
    QTest::addColumn<QByteArray>("calls");

    // The receiver opens with calls; it answers the first copy of block late only once the
    // sender, having heard nothing, sends it again (then it answers both), and refuses the
    // first copy of block 2.
    using enum TransferProtocol;
    QTest::newRow("XMODEM, block 1 answered late") << Xmodem << 1 << QByteArray("C");
    QTest::newRow("YMODEM, block 0 answered late") << Ymodem << 0 << QByteArray("C");
    QTest::newRow("XMODEM, called twice") << Xmodem << -1 << QByteArray("CC");
}

void TestTransfer::blocksFollowLateAnswers()
{
    QFETCH(TransferProtocol, protocol);
    QFETCH(int, late);
    QFETCH(QByteArray, calls);
    ScriptedReceiver device;
    QByteArray file;
    int expected = late == 0 ? 0 : 1;
    bool held = false;
    bool refused = false;
    bool ended = false;
    device.script = [&](const QByteArray& chunk) {
        const int number = chunk == "\x04" ? -1 : quint8(chunk[1]);
        if (number < 0 || ended) { // EOT, then the batch's empty block 0
            ended = true;
            device.reply("\x06" + QByteArray(number < 0 && late == 0 ? "C" : ""));
        } else if (number == late && !held) {
            held = true;
        } else if (number == 2 && !refused) {
            refused = true;
            device.reply("\x15");
        } else if (number == expected) {
            file += number > 0 ? chunk.mid(3, chunk.size() - 5) : QByteArray();
            device.reply(number == 0 ? "\x06"
                                       "C\x06"
                                     : QByteArray(number == late ? 2 : 1, '\x06'));
            ++expected;
        } else {
            device.reply(number == expected - 1 ? "\x06" : "\x18\x18");
        }
    };
    device.reply(calls);
    const QByteArray content = sample(200);
    const Outcome outcome = run(protocol, device, content);
    QCOMPARE(outcome.result, QString("done"));
    QCOMPARE(file, content + QByteArray(56, '\x1a'));
}

void TestTransfer::sendsToLrzsz_data()
{
    QTest::addColumn<TransferProtocol>("protocol");
    QTest::addColumn<Command>("receiver");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("flipEvery"); // one bit flipped in every Nth byte; 0: a clean line

    using enum TransferProtocol;
    const Command rz { "rz", "-b", "-y" };
    const Command rb { "rb", "-b", "-y" };
    const Command rx { "rx", "-b", "-c", "SERVER.INI" };
    QTest::newRow("ZMODEM, empty") << Zmodem << rz << sample(0) << 0;
    QTest::newRow("ZMODEM, 64 KiB") << Zmodem << rz << sample(65536) << 0;
    // Every byte that needs escaping, in a file shorter than a subpacket, with control
    // characters escaped as well; the 64 KiB begin with the same bytes.
    QTest::newRow("ZMODEM, control characters escaped")
        << Zmodem << Command { "rz", "-b", "-y", "-e" } << sample(289) << 0;
    QTest::newRow("ZMODEM, a bit flipped every 1000 bytes")
        << Zmodem << rz << sample(16384) << 1000;
    QTest::newRow("YMODEM, empty") << Ymodem << rb << sample(0) << 0;
    QTest::newRow("YMODEM, a 1K block and a short tail") << Ymodem << rb << sample(1300) << 0;
    QTest::newRow("XMODEM, empty") << Xmodem << rx << sample(0) << 0;
    QTest::newRow("XMODEM, checksums")
        << Xmodem << Command { "rx", "-b", "SERVER.INI" } << sample(289) << 0;
    QTest::newRow("XMODEM, a bit flipped every 3000 bytes") << Xmodem << rx << sample(8000) << 3000;
}

void TestTransfer::sendsToLrzsz()
{
    QFETCH(TransferProtocol, protocol);
    QFETCH(Command, receiver);
    QFETCH(QByteArray, content);
    QFETCH(int, flipEvery);

    // A line without a speed limit, so that even what the sender drops on a ZRPOS has often
    // gone through already.
    QTemporaryDir folder;
    LineSimulator line({ .baud = 0, .faults = { .flipEvery = flipEvery } });
    QVERIFY(line.start(receiver, folder.path().toStdString()));
    QSerialPort port(QString::fromStdString(line.senderDevice()));
    QVERIFY(port.open(QIODevice::ReadWrite));
    // An upper-case name, which the receiver keeps as it is.
    QCOMPARE(run(protocol, port, content, {}, { 10, 5000, 20000 }).result, "done");
    QCOMPARE(line.counters().faults > 0, flipEvery > 0);
    QVERIFY(line.waitForReceiver(10000));

    QFile file(folder.filePath("SERVER.INI"));
    QVERIFY(file.open(QIODevice::ReadOnly) || content.isEmpty());
    if (protocol == TransferProtocol::Xmodem) {
        // XMODEM knows no length: the last block's padding stays.
        QCOMPARE(file.readAll(), content + QByteArray((128 - content.size() % 128) % 128, '\x1a'));
        return;
    }
    QCOMPARE(file.readAll(), content);
    QCOMPARE(QFileInfo(file).lastModified().toSecsSinceEpoch(), kModified);
    QCOMPARE(
        QFileInfo(file).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther),
        QFile::Permissions(QFile::ReadGroup));
}

QTEST_GUILESS_MAIN(TestTransfer)
#include "test_transfer.moc"
