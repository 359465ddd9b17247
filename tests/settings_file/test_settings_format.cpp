#include "settings_file/settings_format.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

namespace {

// The worked example: DHCP off, 192.168.1.20, MAC 02-1A-2B-3C-4D-5E, monitor, operator, relay,
// mail server 10.0.0.254, FTP off.
const QMap<QString, QString> kExample { { "txtIpAddress", "192" }, { "txtIpAddress2", "168" },
    { "txtIpAddress3", "1" }, { "txtIpAddress4", "20" }, { "txtMacAddress", "02" },
    { "txtMacAddress2", "1A" }, { "txtMacAddress3", "2B" }, { "txtMacAddress4", "3C" },
    { "txtMacAddress5", "4D" }, { "txtMacAddress6", "5E" }, { "txtSenderAddress", "monitor" },
    { "txtReceiverAddress", "operator" }, { "txtHost", "relay" }, { "txtEmailServerAddress", "10" },
    { "txtEmailServerAddress2", "0" }, { "txtEmailServerAddress3", "0" },
    { "txtEmailServerAddress4", "254" }, { "txtUserName", "service" } };

ServerSettings settingsOf(const QMap<QString, QString>& texts, int dhcp = 0, int ftp = 0)
{
    return collectServerSettings([&](const QString& name) { return texts.value(name); },
        [&](const QString& name) { return name == "chkDHCP" ? dhcp : ftp; });
}

// Takes data up to a limit, then fails, like a disk that fills up or a failing medium.
class FailingDevice final : public QIODevice
{
public:
    FailingDevice(QByteArray data, qint64 limit)
        : m_data(std::move(data))
        , m_limit(limit)
    {
        open(ReadWrite | Unbuffered);
    }
    QByteArray written;

protected:
    qint64 readData(char* to, qint64 max) override
    {
        const qint64 n
            = std::min<qint64>({ max, m_limit - m_read, qint64(m_data.size()) - m_read });
        if (n <= 0 && m_read < m_data.size())
            setErrorString("Input/output error");
        if (n <= 0)
            return m_read < m_data.size() ? -1 : 0;
        memcpy(to, m_data.constData() + m_read, n);
        m_read += n;
        return n;
    }
    qint64 writeData(const char* from, qint64 n) override
    {
        const qint64 room = std::min<qint64>(n, m_limit - written.size());
        written.append(from, room);
        setErrorString("No space left on device");
        return room > 0 ? room : -1;
    }

private:
    QByteArray m_data;
    qint64 m_limit;
    qint64 m_read = 0;
};

QStringList readAll(QIODevice& device, Failure& failure)
{
    QStringList seen;
    failure = readSettings(device, [&](const SettingsAssignment& a) {
        const auto* text = std::get_if<QString>(&a.value);
        seen << a.control + "=" + (text ? *text : QString::number(std::get<int>(a.value)));
    });
    return seen;
}

long peakResidentKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

template <typename... Columns> void row(const char* tag, const Columns&... columns)
{
    (QTest::newRow(tag) << ... << columns);
}

} // namespace

class TestSettingsFormat : public QObject
{
    Q_OBJECT

private slots:
    void writesTheExactLines_data();
    void writesTheExactLines();
    void writesEachField_data();
    void writesEachField();
    void reportsAFailingDevice_data();
    void reportsAFailingDevice();
    void readsHugeFilesPiecewise();
};

void TestSettingsFormat::writesTheExactLines_data()
{
    QTest::addColumn<int>("dhcp");
    QTest::addColumn<int>("ftp");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray mac = "MAC0=021A\r\nMAC1=2B3C\r\nMAC2=4D5E\r\n";
    const QByteArray smtp = "[SMTP]\r\nsender=monitor\r\nreceiver=operator\r\nhost=relay\r\n"
                            "maillp0=0A00\r\nmaillp1=00FE\r\n[FTP]\r\n";
    const QByteArray ip = "IP0=C0A8\r\nIP1=0114\r\n";
    const QByteArray user = "FTP=1\r\nUsername=service\r\nPassword=\r\n";
    row("worked example, 15 lines", 0, 0, "[System]\r\nDHCP=0\r\n" + ip + mac + smtp + "FTP=0\r\n");
    row("DHCP on, 13 lines", 1, 0, "[System]\r\nDHCP=1\r\n" + mac + smtp + "FTP=0\r\n");
    row("DHCP and FTP on, 15 lines", 1, 1, "[System]\r\nDHCP=1\r\n" + mac + smtp + user);
    row("FTP on, 17 lines", 0, 1, "[System]\r\nDHCP=0\r\n" + ip + mac + smtp + user);
    row("third state is off", 2, 2, "[System]\r\nDHCP=0\r\n" + ip + mac + smtp + "FTP=0\r\n");
}

void TestSettingsFormat::writesTheExactLines()
{
    QFETCH(int, dhcp);
    QFETCH(int, ftp);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QCOMPARE(writeSettings(buffer, settingsOf(kExample, dhcp, ftp)).value_or(""), QString());
    QTEST(buffer.data(), "expected");
}

void TestSettingsFormat::writesEachField_data()
{
    // The worked example with one field changed, and DHCP off or on (IP octets not written).
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("dhcp");
    QTest::addColumn<QByteArray>("line"); // empty: the file is refused
    QTest::addColumn<QString>("failure");
    const auto field = [](const char* tag, const QString& control, const QString& text, int dhcp,
                           const QByteArray& line, const QString& failure = {}) {
        QTest::newRow(tag) << control << text << dhcp << line << failure;
    };
    const QString tail = "\", a character that a settings file cannot store.";
    field("empty octet", "txtIpAddress", "", 0, "IP0=00A8");
    field("5", "txtIpAddress2", "5", 0, "IP0=C005");
    field("255", "txtIpAddress2", "255", 0, "IP0=C0FF");
    field("blanks inside", "txtIpAddress2", "1 2", 0, "IP0=C00C");
    field("half to even", "txtIpAddress2", "6.5", 0, "IP0=C006");
    field("half up to even", "txtIpAddress2", "7.5", 0, "IP0=C008");
    field("negative", "txtIpAddress2", "-1", 0, "IP0=C0FFFFFFFF");
    field("MAC joined as is", "txtMacAddress", "A", 0, "MAC0=A1A");
    field("bare key", "txtSenderAddress", "", 0, "sender=");
    field("Windows-1252 text", "txtHost", "é€ ,\"q\" ", 0, "host=\xE9\x80 ,\"q\" ");
    field("emoji", "txtHost", "x😀", 0, "", "The Host holds \"😀" + tail);
    field("MAC box", "txtMacAddress6", "Ω1", 0, "", "The MAC Address holds \"Ω" + tail);
    field("unwritten password", "txtPassword", "密", 0, "FTP=0");
    field("octet overflow", "txtEmailServerAddress", "1e10", 1, "",
        "An address byte is out of range.");
    field("unwritten octet", "txtIpAddress", "1e10", 1, "DHCP=1");
}

void TestSettingsFormat::writesEachField()
{
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(int, dhcp);
    QFETCH(QByteArray, line);
    QFETCH(QString, failure);
    QMap<QString, QString> texts = kExample;
    texts[control] = text;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QCOMPARE(writeSettings(buffer, settingsOf(texts, dhcp)).value_or(""), failure);
    // A refused file is not begun at all.
    QCOMPARE(buffer.data().count("\r\n"), failure.isEmpty() ? 15 - 2 * dhcp : 0);
    if (!line.isEmpty())
        QVERIFY2(buffer.data().contains("\r\n" + line + "\r\n"), buffer.data().constData());
}

void TestSettingsFormat::reportsAFailingDevice_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: the writer's device
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<QStringList>("applied");
    QTest::addColumn<QString>("failure");
    row("write fails after 40 bytes", QByteArray(), qint64(40), QStringList(),
        QString("No space left on device"));
    row("read fails mid-item", QByteArray("host=a\r\nsender=bcd\r\n"), qint64(12),
        QStringList { "txtHost=a" }, QString("Input/output error"));
}

void TestSettingsFormat::reportsAFailingDevice()
{
    QFETCH(QByteArray, file);
    QFETCH(qint64, limit);
    FailingDevice device(file, limit);
    Failure result;
    if (file.isEmpty()) {
        result = writeSettings(device, settingsOf(kExample));
        QCOMPARE(device.written.size(), limit);
    } else {
        QTEST(readAll(device, result), "applied");
    }
    QTEST(result.value_or(QString()), "failure");
}

void TestSettingsFormat::readsHugeFilesPiecewise()
{
    // A line of 100 MB with a key far beyond its kept start, more items, then an empty item and
    // another 100 MB that must never be read.
    QTemporaryDir dir;
    QFile file(dir.filePath("huge.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray block(1024 * 1024, 'x');
    file.write("sender=");
    for (int i = 0; i < 100; ++i)
        file.write(block);
    file.write(QByteArray(65536 - 11, 'x')); // "Password=" then straddles two reads of 64 KiB
    file.write("Password=\r\nhost=h\r\n \r\n");
    const qint64 stop = file.pos();
    for (int i = 0; i < 100; ++i)
        file.write(block);
    file.close();

    [[maybe_unused]] const long before = peakResidentKiB();
    QVERIFY(file.open(QIODevice::ReadOnly));
    Failure failure;
    const QStringList seen = readAll(file, failure);
    QCOMPARE(failure.value_or(""), QString());
    const QString cut(kMaxTextLength, 'x');
    QCOMPARE(seen, (QStringList { "txtSenderAddress=" + cut, "txtPassword=" + cut, "txtHost=h" }));
    QVERIFY2(file.pos() < stop + 128 * 1024, "read past the empty item");
#ifndef __SANITIZE_ADDRESS__ // the sanitizer's quarantine keeps every freed read buffer resident
    QVERIFY2(peakResidentKiB() - before < 20 * 1024, "the file was held in memory");
#endif
}

QTEST_APPLESS_MAIN(TestSettingsFormat)
#include "test_settings_format.moc"
