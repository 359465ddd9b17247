#include "serial_link/transfer/transfer_sender.h"
#include "serial_link/transfer/zmodem_frames.h"
#include "testkit/scripted_receiver.h"

#include <QSignalSpy>
#include <QTest>

// The senders against receivers played by the tests: the ways a transfer fails, and the
// recoveries and receiver options that lrzsz never asks for.

using namespace zmodem;

namespace {

const QByteArray kCancel = QByteArray(8, '\x18') + QByteArray(10, '\b');

// Ten bytes with everything ZMODEM escapes in them.
const QByteArray kSample("ab\x18\x11\x13@\r\x91\x93\x8d");

struct Outcome
{
    QString result = "still running"; // "done", or why the transfer failed
    int discards = 0;
};

Outcome run(TransferProtocol protocol, ScriptedReceiver& device, const QByteArray& content,
    const QByteArray& earlierInput = {})
{
    Outcome outcome;
    const std::unique_ptr<TransferSender> sender = TransferSender::create(
        protocol, device, { "server.ini", content, 1700000000, 0100644 }, { 3, 200, 400 });
    sender->setOutputDiscarder([&outcome] { ++outcome.discards; });
    QSignalSpy finished(sender.get(), &TransferSender::finished);
    sender->start(earlierInput);
    if (!finished.isEmpty() || finished.wait(20000))
        outcome.result = finished[0][0].toBool() ? "done" : finished[0][1].toString();
    return outcome;
}

/// A ZMODEM receiver that keeps the file it is sent, with a buffer of the size given (2 KiB
/// unless a test says otherwise). A test makes it break the rules: once the sender has sent the
/// header stage it answers instead (or nothing); with loseFirst it loses the first data
/// subpacket and its request for it.
struct FakeZmodemReceiver
{
    explicit FakeZmodemReceiver(ScriptedReceiver& port)
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

    void handle(const ZmodemDecoder::Event& event)
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

    void takeData(const ZmodemDecoder::Event& event)
    {
        if (lastHeader == ZFILE) {
            device.reply(hexHeader(Header::withPosition(ZRPOS, 0)));
        } else if (std::exchange(loseFirst, false)) {
            skipping = true;
        } else if (!skipping) {
            file += event.data;
            segment += event.data.size();
            longestSegment = std::max(longestSegment, segment);
            segment = event.end == 'k' ? 0 : segment;
            if (event.end == 'j' || event.end == 'k')
                device.reply(hexHeader(Header::withPosition(ZACK, quint32(file.size()))));
        }
    }

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
};

} // namespace

class TestTransferFailures : public QObject
{
    Q_OBJECT

private slots:
    void endsAsFailed_data();
    void endsAsFailed();
    void zmodemRecoversTheFirstDataLost();
    void blocksFollowLateAnswers_data();
    void blocksFollowLateAnswers();
};

void TestTransferFailures::endsAsFailed_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<int>("at");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("earlier"); // what the receiver said before the start
    QTest::addColumn<QString>("reason");

    // From at on the receiver answers answer (or nothing) instead of going on: for ZMODEM, at
    // is the sender's header; for XMODEM and YMODEM, its chunk (a block, EOT or a repeat). 5000
    // bytes are 40 XMODEM blocks.
    const int x = int(TransferProtocol::Xmodem);
    const int z = int(TransferProtocol::Zmodem);
    const auto hex = [](quint8 type) { return hexHeader(Header::withPosition(type, 0)); };
    const auto row = [](const char* tag, int protocol, int at, const QByteArray& answer,
                         const QString& reason) {
        QTest::newRow(tag) << protocol << at << answer << QByteArray() << reason;
    };
    row("no receiver at all", z, ZRQINIT, {}, "no answer");
    row("file skipped", z, ZFILE, hex(ZSKIP), "receiver skipped the file");
    row("same offset asked again", z, ZDATA, hex(ZRPOS), "too many errors");
    row("CAN in the data", z, ZDATA, QByteArray(8, '\x18'), "receiver cancelled");
    row("no answer to the end of file", z, ZEOF, {}, "no answer");
    row("XMODEM, CAN CAN", x, 3, "\x18\x18", "receiver cancelled");
    row("XMODEM, EOT refused", x, 41, "\x15", "too many errors");
    row("YMODEM, block 0 taken, data never called for", int(TransferProtocol::Ymodem), 1000, {},
        "no answer");
    // The receiver behaves, but the line refuses data after 2000 bytes: nothing more is sent.
    row("line refuses the data", z, -1, {}, "port lost");
    // The receiver behaves (at -2), but one switched on long before said something ahead of the
    // start: it gave up, or ended a session, with or without a call after. The file: kSample.
    QTest::newRow("ZMODEM, a cancel before") << z << -2 << QByteArray() << kCancel << "done";
    QTest::newRow("ZMODEM, ended session headers, a cancel, a call before")
        << z << -2 << QByteArray() << hex(ZABORT) + hex(ZCAN) + hex(ZSKIP) + kCancel + hex(ZRINIT)
        << "done";
    QTest::newRow("XMODEM, a call, then a cancel before")
        << x << 1000 << QByteArray() << "CC" + kCancel << "done";
}

void TestTransferFailures::endsAsFailed()
{
    QFETCH(int, protocol);
    QFETCH(int, at);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, earlier);
    QFETCH(QString, reason);
    ScriptedReceiver device;
    FakeZmodemReceiver receiver(device);
    receiver.stage = at;
    receiver.instead = answer;
    int chunks = 0;
    if (protocol != int(TransferProtocol::Zmodem)) {
        device.script = [&](const QByteArray& chunk) {
            receiver.file += chunk.mid(3, 128);
            device.reply(++chunks < at ? "\x06" : answer);
        };
        device.reply("C");
    }
    device.failAfter = at == -1 ? 2000 : -1;
    const QByteArray content = earlier.isEmpty() ? kSample.repeated(500) : kSample;
    const Outcome outcome = run(TransferProtocol(protocol), device, content, earlier);
    QCOMPARE(outcome.result, reason);
    QCOMPARE(device.written.endsWith(kCancel), at >= 0 && reason != "done");
    QVERIFY(receiver.longestSegment <= 2048);
    QVERIFY(reason != "done" || receiver.file.startsWith(content));
}

void TestTransferFailures::zmodemRecoversTheFirstDataLost()
{
    // The sender streams it all and meets a silent end of file.
    ScriptedReceiver device;
    FakeZmodemReceiver receiver(device);
    receiver.buffer = 0;
    receiver.loseFirst = true;
    const QByteArray content = kSample.repeated(200);
    const Outcome outcome = run(TransferProtocol::Zmodem, device, content);
    QCOMPARE(outcome.result, QString("done"));
    QCOMPARE(receiver.file, content);
    QCOMPARE(outcome.discards, 1);
}

void TestTransferFailures::blocksFollowLateAnswers_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<int>("late");
    QTest::addColumn<QByteArray>("calls");

    // The receiver opens with calls; it answers the first copy of block late only once the
    // sender, having heard nothing, sends it again (then it answers both), and refuses the
    // first copy of block 2.
    const int x = int(TransferProtocol::Xmodem);
    QTest::newRow("XMODEM, block 1 answered late") << x << 1 << QByteArray("C");
    QTest::newRow("YMODEM, block 0 answered late")
        << int(TransferProtocol::Ymodem) << 0 << QByteArray("C");
    QTest::newRow("XMODEM, called twice") << x << -1 << QByteArray("CC");
}

void TestTransferFailures::blocksFollowLateAnswers()
{
    QFETCH(int, protocol);
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
    const QByteArray content = kSample.repeated(20);
    const Outcome outcome = run(TransferProtocol(protocol), device, content);
    QCOMPARE(outcome.result, QString("done"));
    QCOMPARE(file, content + QByteArray(56, '\x1a'));
}

QTEST_GUILESS_MAIN(TestTransferFailures)
#include "test_transfer_failures.moc"
