#include "serial_link/transfer/transfer_sender.h"
#include "testkit/line_simulator.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// Each protocol against lrzsz's receivers over a simulated line, clean or with bits flipped,
// every file compared byte for byte with what arrived.

namespace {

constexpr qint64 kModified = 1700000000;

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

class TestTransferLrzsz : public QObject
{
    Q_OBJECT

private slots:
    void sendsToLrzsz_data();
    void sendsToLrzsz();
};

void TestTransferLrzsz::sendsToLrzsz_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QStringList>("receiver");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("flipEvery"); // one bit flipped in every Nth byte; 0: a clean line

    const int z = int(TransferProtocol::Zmodem);
    const int y = int(TransferProtocol::Ymodem);
    const int x = int(TransferProtocol::Xmodem);
    const QStringList rz { "rz", "-b", "-y" };
    const QStringList rb { "rb", "-b", "-y" };
    const QStringList rx { "rx", "-b", "-c", "SERVER.INI" };
    QTest::newRow("ZMODEM, empty") << z << rz << sample(0) << 0;
    QTest::newRow("ZMODEM, bytes to escape") << z << rz << sample(289) << 0;
    QTest::newRow("ZMODEM, 64 KiB") << z << rz << sample(65536) << 0;
    QTest::newRow("ZMODEM, control characters escaped")
        << z << QStringList { "rz", "-b", "-y", "-e" } << sample(289) << 0;
    QTest::newRow("ZMODEM, a bit flipped every 1000 bytes") << z << rz << sample(16384) << 1000;
    QTest::newRow("YMODEM, empty") << y << rb << sample(0) << 0;
    QTest::newRow("YMODEM, a 1K block and a short tail") << y << rb << sample(1300) << 0;
    QTest::newRow("XMODEM, empty") << x << rx << sample(0) << 0;
    QTest::newRow("XMODEM, one full block") << x << rx << sample(128) << 0;
    QTest::newRow("XMODEM, checksums")
        << x << QStringList { "rx", "-b", "SERVER.INI" } << sample(289) << 0;
    QTest::newRow("XMODEM, a bit flipped every 3000 bytes") << x << rx << sample(8000) << 3000;
}

void TestTransferLrzsz::sendsToLrzsz()
{
    QFETCH(int, protocol);
    QFETCH(QStringList, receiver);
    QFETCH(QByteArray, content);
    QFETCH(int, flipEvery);

    // A line without a speed limit, so that even what the sender drops on a ZRPOS has often
    // gone through already.
    LineOptions options;
    options.baud = 0;
    options.faults.flipEvery = flipEvery;
    QTemporaryDir folder;
    LineSimulator line(options);
    std::vector<std::string> command;
    for (const QString& argument : receiver)
        command.push_back(argument.toStdString());
    QVERIFY(line.start(command, folder.path().toStdString()));
    QSerialPort port(QString::fromStdString(line.senderDevice()));
    QVERIFY(port.open(QIODevice::ReadWrite));

    // An upper-case name, which the receiver keeps as it is.
    const std::unique_ptr<TransferSender> sender
        = TransferSender::create(static_cast<TransferProtocol>(protocol), port,
            { "SERVER.INI", content, kModified, 0100640 }, { 10, 5000, 20000 });
    sender->setOutputDiscarder([&port] { port.clear(QSerialPort::Output); });
    QSignalSpy finished(sender.get(), &TransferSender::finished);
    sender->start();
    QVERIFY(finished.wait(120000));
    QCOMPARE(finished[0][1].toString(), QString());
    QVERIFY(finished[0][0].toBool());
    QCOMPARE(line.counters().faults > 0, flipEvery > 0);
    QVERIFY(line.waitForReceiver(10000));

    QFile file(folder.filePath("SERVER.INI"));
    QVERIFY(file.open(QIODevice::ReadOnly) || content.isEmpty());
    if (protocol == int(TransferProtocol::Xmodem)) {
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

QTEST_GUILESS_MAIN(TestTransferLrzsz)
#include "test_transfer_lrzsz.moc"
