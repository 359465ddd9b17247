#include "fakes/lrzsz_receiver.h"
#include "line_simulator.h"
#include "serial_link/transfer/transfer_sender.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// Each protocol against lrzsz's receivers over a pseudo-terminal, every file compared byte
// for byte with what arrived.

namespace {

constexpr qint64 kModified = 1700000000;

QByteArray randomBytes(int size)
{
    QRandomGenerator generator(size);
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator.bounded(256));
    return bytes;
}

// Every byte that ZMODEM escapes, the '@' CR pairs, 0x1A and NUL among text.
QByteArray escapeBytes()
{
    static constexpr char kText[]
        = "text\x18\x18 \x11\x13\x91\x93\x10\x90 @\r\n\xc0\x8d @@\r\r \x1a\x00 end";
    QByteArray bytes(kText, sizeof kText - 1);
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}

} // namespace

class TestTransferLrzsz : public QObject
{
    Q_OBJECT

private slots:
    void sendsToLrzsz_data();
    void sendsToLrzsz();
    void recoversFromLineErrors_data();
    void recoversFromLineErrors();
};

void TestTransferLrzsz::sendsToLrzsz_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QStringList>("receiver");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");

    const QList<std::pair<const char*, QByteArray>> files {
        { "0 bytes", QByteArray() },
        { "1 byte", QByteArray("A") },
        { "56 bytes",
            QByteArray(
                "[System]\r\nDHCP=0\r\nIP0=C0A8\r\nIP1=64C8\r\nMAC0=0012\r\nMAC1=3456\r\n") },
        { "128 bytes", randomBytes(128) },
        { "300 bytes", randomBytes(300) },
        { "1024 bytes", randomBytes(1024) },
        { "64 KiB", randomBytes(65536) },
        { "bytes to escape", escapeBytes() },
    };
    const QString z = QString::number(int(TransferProtocol::Zmodem));
    for (const auto& [label, content] : files) {
        const QString size = QString::fromLatin1(label);
        QTest::newRow(qPrintable("ZMODEM " + size))
            << int(TransferProtocol::Zmodem) << QStringList { "rz", "-b", "-y" } << "server.ini"
            << content;
        QTest::newRow(qPrintable("YMODEM " + size))
            << int(TransferProtocol::Ymodem) << QStringList { "rb", "-b", "-y" } << "server.ini"
            << content;
        QTest::newRow(qPrintable("XMODEM CRC " + size))
            << int(TransferProtocol::Xmodem) << QStringList { "rx", "-b", "-c", "server.ini" }
            << "server.ini" << content;
    }
    QTest::newRow("ZMODEM escaping control characters, bytes to escape")
        << int(TransferProtocol::Zmodem) << QStringList { "rz", "-b", "-y", "-e" } << "server.ini"
        << escapeBytes();
    QTest::newRow("ZMODEM escaping control characters, 64 KiB")
        << int(TransferProtocol::Zmodem) << QStringList { "rz", "-b", "-y", "-e" } << "server.ini"
        << randomBytes(65536);
    QTest::newRow("XMODEM checksum 300 bytes")
        << int(TransferProtocol::Xmodem) << QStringList { "rx", "-b", "server.ini" } << "server.ini"
        << randomBytes(300);
    QTest::newRow("XMODEM checksum bytes to escape")
        << int(TransferProtocol::Xmodem) << QStringList { "rx", "-b", "server.ini" } << "server.ini"
        << escapeBytes();
    QTest::newRow("YMODEM upper-case name")
        << int(TransferProtocol::Ymodem) << QStringList { "rb", "-b", "-y" } << "SERVER.INI"
        << QByteArray("DHCP=1\r\n");
    QTest::newRow("ZMODEM upper-case name")
        << int(TransferProtocol::Zmodem) << QStringList { "rz", "-b", "-y" } << "SERVER.INI"
        << QByteArray("DHCP=1\r\n");
}

void TestTransferLrzsz::sendsToLrzsz()
{
    QFETCH(int, protocol);
    QFETCH(QStringList, receiver);
    QFETCH(QString, name);
    QFETCH(QByteArray, content);

    LrzszReceiver peer(receiver);
    QVERIFY(peer.isReady());
    QSerialPort port(peer.devicePath());
    QVERIFY(port.open(QIODevice::ReadWrite));

    TransferFile file { name, content, kModified, 0100640 };
    std::unique_ptr<TransferSender> sender = TransferSender::create(
        static_cast<TransferProtocol>(protocol), port, file, { 10, 5000, 20000 });
    sender->setOutputDiscarder([&port] { port.clear(QSerialPort::Output); });
    QSignalSpy finished(sender.get(), &TransferSender::finished);
    sender->start();
    QVERIFY(finished.wait(60000));
    QCOMPARE(finished.first().at(1).toString(), QString());
    QCOMPARE(finished.first().at(0).toBool(), true);
    QCOMPARE(sender->acknowledged(), qint64(content.size()));
    QVERIFY(peer.waitForExit(10000));

    const QByteArray received = peer.received(name);
    if (static_cast<TransferProtocol>(protocol) == TransferProtocol::Xmodem) {
        // XMODEM knows no length: the last block's padding stays.
        QCOMPARE(received.left(content.size()), content);
        QCOMPARE(received.size() % 128, 0);
        QCOMPARE(
            received.mid(content.size()), QByteArray(received.size() - content.size(), '\x1a'));
    } else {
        QCOMPARE(received.size(), content.size());
        QCOMPARE(received, content);
        const QFileInfo info(peer.folder() + "/" + name);
        QCOMPARE(info.lastModified().toSecsSinceEpoch(), kModified);
        QCOMPARE(
            int(info.permissions()
                & (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteOther)),
            int(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    }
}

void TestTransferLrzsz::recoversFromLineErrors_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QStringList>("receiver");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("flipEvery");
    QTest::addColumn<int>("dropEvery");
    QTest::addColumn<double>("bitErrorRate");

    const int z = int(TransferProtocol::Zmodem);
    const QStringList rz { "rz", "-b", "-y" };
    QTest::newRow("ZMODEM, a bit flipped every 1000 bytes") << z << rz << 65536 << 1000 << 0 << 0.0;
    QTest::newRow("ZMODEM, a byte lost every 3000") << z << rz << 65536 << 0 << 3000 << 0.0;
    QTest::newRow("ZMODEM, random bit errors") << z << rz << 65536 << 0 << 0 << 2e-5;
    QTest::newRow("YMODEM, a bit flipped every 3000 bytes")
        << int(TransferProtocol::Ymodem) << QStringList { "rb", "-b", "-y" } << 8000 << 3000 << 0
        << 0.0;
    QTest::newRow("XMODEM, a bit flipped every 3000 bytes")
        << int(TransferProtocol::Xmodem) << QStringList { "rx", "-b", "-c", "server.ini" } << 8000
        << 3000 << 0 << 0.0;
}

void TestTransferLrzsz::recoversFromLineErrors()
{
    QFETCH(int, protocol);
    QFETCH(QStringList, receiver);
    QFETCH(int, size);
    QFETCH(int, flipEvery);
    QFETCH(int, dropEvery);
    QFETCH(double, bitErrorRate);

    // A line without a speed limit, so that even what the sender drops on a ZRPOS has often
    // gone through already.
    LineOptions options;
    options.baud = 0;
    options.faults = { flipEvery, dropEvery, bitErrorRate, 3 };
    QTemporaryDir folder;
    LineSimulator line(options);
    std::vector<std::string> command;
    for (const QString& argument : receiver)
        command.push_back(argument.toStdString());
    QVERIFY(line.start(command, folder.path().toStdString()));
    QSerialPort port(QString::fromStdString(line.senderDevice()));
    QVERIFY(port.open(QIODevice::ReadWrite));

    const QByteArray content = randomBytes(size);
    std::unique_ptr<TransferSender> sender
        = TransferSender::create(static_cast<TransferProtocol>(protocol), port,
            { "server.ini", content, kModified, 0100644 });
    sender->setOutputDiscarder([&port] { port.clear(QSerialPort::Output); });
    QSignalSpy finished(sender.get(), &TransferSender::finished);
    sender->start();
    QVERIFY(finished.wait(120000));
    QCOMPARE(finished.first().at(1).toString(), QString());
    QVERIFY(line.counters().faults > 0);
    QVERIFY(line.waitForReceiver(10000));
    QFile received(folder.filePath("server.ini"));
    QVERIFY(received.open(QIODevice::ReadOnly));
    QCOMPARE(received.readAll().left(size), content);
}

QTEST_GUILESS_MAIN(TestTransferLrzsz)
#include "test_transfer_lrzsz.moc"
