#include "serial_link/comm_spy_log.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// The CommSpy log's lines and its size limit.

namespace {

QStringList linesOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestCommSpyLog : public QObject
{
    Q_OBJECT

private slots:
    void hexLines_data();
    void hexLines();
    void recordsOneLinePerSixteenBytes();
    void neverGrowsPastItsLimit();
};

void TestCommSpyLog::hexLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("line");

    QTest::newRow("a full line") << QByteArray(
        "rz\r**\x18"
        "B010000002") << "72 7a 0d 2a 2a 18 42 30 31 30 30 30 30 30 30 32  rz.**.B010000002";
    QTest::newRow("a short line keeps the columns")
        << QByteArray("\x00\x7f\x80\xff ~", 6) << "00 7f 80 ff 20 7e" + QString(32, ' ') + ".... ~";
}

void TestCommSpyLog::hexLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, line);
    QCOMPARE(CommSpyLog::hexLine(bytes), line);
}

void TestCommSpyLog::recordsOneLinePerSixteenBytes()
{
    QTemporaryDir dir;
    CommSpyLog log(dir.filePath("commspy.log"));
    log.record(LogSwitch::Events, "Port COM1 (/dev/ttyUSB0) opened at 9600,n,8,1");
    log.recordBytes(LogSwitch::Output, QByteArray(40, 'A'));
    log.recordBytes(LogSwitch::Input, QByteArray("\x06"));
    log.record(LogSwitch::Properties, "settings = 9600,n,8,1");
    log.record(LogSwitch::Warnings, "Transfer Failed: no answer");

    const QStringList lines = linesOf(dir.filePath("commspy.log"));
    QCOMPARE(lines.size(), 7);
    const QRegularExpression stamp("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ");
    QStringList kinds;
    for (const QString& line : lines) {
        QVERIFY2(stamp.match(line).hasMatch(), qPrintable(line));
        kinds << line.mid(24, 9).trimmed();
    }
    QCOMPARE(kinds,
        (QStringList { "event", "output", "output", "output", "input", "property", "warning" }));
    QCOMPARE(lines[0].mid(33), QStringLiteral("Port COM1 (/dev/ttyUSB0) opened at 9600,n,8,1"));
    QCOMPARE(lines[1].mid(33), QString("41 ").repeated(16) + " " + QString(16, 'A'));
    QCOMPARE(
        lines[3].mid(33), QString("41 ").repeated(8) + QString(24, ' ') + " " + QString(8, 'A'));
    QCOMPARE(lines[4].mid(33), "06" + QString(47, ' ') + ".");
}

void TestCommSpyLog::neverGrowsPastItsLimit()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("commspy.log");
    constexpr qint64 kLimit = 2000;
    CommSpyLog log(path, kLimit);
    for (int i = 0; i < 200; ++i) {
        log.record(LogSwitch::Events, QString("record %1").arg(i));
        QVERIFY(QFileInfo(path).size() <= kLimit);
    }
    // A record larger than the whole limit keeps what fits.
    log.recordBytes(LogSwitch::Output, QByteArray(500, 'x'));
    QVERIFY(QFileInfo(path).size() <= kLimit);
    QVERIFY(QFileInfo(path).size() > kLimit / 2);

    const QStringList previous = linesOf(path + ".1");
    QVERIFY(!previous.isEmpty());
    QVERIFY(QFileInfo(path + ".1").size() <= kLimit);
    QVERIFY(previous.last().endsWith("record 199"));
    QVERIFY(!QFile::exists(path + ".2"));
}

QTEST_APPLESS_MAIN(TestCommSpyLog)
#include "test_comm_spy_log.moc"
