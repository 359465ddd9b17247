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
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestCommSpyLog : public QObject
{
    Q_OBJECT

private slots:
    void recordsOneLinePerSixteenBytes();
    void neverGrowsPastItsLimit();
};

void TestCommSpyLog::recordsOneLinePerSixteenBytes()
{
    QTemporaryDir dir;
    CommSpyLog log(dir.filePath("commspy.log"));
    log.record(LogSwitch::Events, "Port COM1 (/dev/ttyUSB0) opened at 9600,n,8,1");
    log.recordBytes(LogSwitch::Output, QByteArray("rz\r**\030B010000002\0\177\200\377 ~", 22));
    log.recordBytes(LogSwitch::Input, QByteArray("\x06"));
    log.record(LogSwitch::Properties, "settings = 9600,n,8,1");
    log.record(LogSwitch::Warnings, "Transfer Failed: no answer");

    // Each line begins with the time to the millisecond; the columns of a short line are kept.
    const QRegularExpression stamp("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ");
    QStringList records;
    for (const QString& line : linesOf(dir.filePath("commspy.log"))) {
        QVERIFY2(stamp.match(line).hasMatch(), qPrintable(line));
        records << line.mid(24);
    }
    QCOMPARE(records,
        (QStringList { "event    Port COM1 (/dev/ttyUSB0) opened at 9600,n,8,1",
            "output   72 7a 0d 2a 2a 18 42 30 31 30 30 30 30 30 30 32  rz.**.B010000002",
            "output   00 7f 80 ff 20 7e" + QString(32, ' ') + ".... ~",
            "input    06" + QString(47, ' ') + ".", "property settings = 9600,n,8,1",
            "warning  Transfer Failed: no answer" }));
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

    // The records before went to the previous file, which replaces any older one.
    QVERIFY(linesOf(path + ".1").join('\n').endsWith("record 199"));
    QVERIFY(!QFile::exists(path + ".2"));
}

QTEST_APPLESS_MAIN(TestCommSpyLog)
#include "test_comm_spy_log.moc"
