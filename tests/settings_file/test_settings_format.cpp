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

} // namespace

class TestSettingsFormat : public QObject
{
    Q_OBJECT

private slots:
    void writesTheExactLines_data();
    void writesTheExactLines();
    void encodesFieldValues_data();
    void encodesFieldValues();
    void refusesWhatItCannotStore_data();
    void refusesWhatItCannotStore();
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
    QTest::newRow("worked example, 15 lines")
        << 0 << 0 << "[System]\r\nDHCP=0\r\n" + ip + mac + smtp + "FTP=0\r\n";
    QTest::newRow("DHCP on, 13 lines")
        << 1 << 0 << "[System]\r\nDHCP=1\r\n" + mac + smtp + "FTP=0\r\n";
    QTest::newRow("DHCP and FTP on, 15 lines")
        << 1 << 1 << "[System]\r\nDHCP=1\r\n" + mac + smtp + user;
    QTest::newRow("FTP on, 17 lines")
        << 0 << 1 << "[System]\r\nDHCP=0\r\n" + ip + mac + smtp + user;
    QTest::newRow("third state counts as off")
        << 2 << 2 << "[System]\r\nDHCP=0\r\n" + ip + mac + smtp + "FTP=0\r\n";
}

void TestSettingsFormat::writesTheExactLines()
{
    QFETCH(int, dhcp);
    QFETCH(int, ftp);
    QFETCH(QByteArray, expected);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QCOMPARE(writeSettings(buffer, settingsOf(kExample, dhcp, ftp)).value_or(""), QString());
    QCOMPARE(buffer.data(), expected);
}

void TestSettingsFormat::encodesFieldValues_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("empty octet") << "txtIpAddress"
                                 << "" << QByteArray("IP0=00A8");
    QTest::newRow("5") << "txtIpAddress2"
                       << "5" << QByteArray("IP0=C005");
    QTest::newRow("255") << "txtIpAddress2"
                         << "255" << QByteArray("IP0=C0FF");
    QTest::newRow("16") << "txtIpAddress4"
                        << "16" << QByteArray("IP1=0110");
    QTest::newRow("leading zeros") << "txtIpAddress2"
                                   << "007" << QByteArray("IP0=C007");
    QTest::newRow("blanks inside") << "txtIpAddress2"
                                   << "1 2" << QByteArray("IP0=C00C");
    QTest::newRow("half to even, down") << "txtIpAddress2"
                                        << "6.5" << QByteArray("IP0=C006");
    QTest::newRow("half to even, up") << "txtIpAddress2"
                                      << "7.5" << QByteArray("IP0=C008");
    QTest::newRow("negative") << "txtIpAddress2"
                              << "-1" << QByteArray("IP0=C0FFFFFFFF");
    QTest::newRow("no number") << "txtEmailServerAddress4"
                               << "x" << QByteArray("maillp1=0000");
    QTest::newRow("MAC joined as is") << "txtMacAddress"
                                      << "A" << QByteArray("MAC0=A1A");
    QTest::newRow("bare key") << "txtSenderAddress"
                              << "" << QByteArray("sender=");
    QTest::newRow("Windows-1252 text") << "txtHost"
                                       << "é€ ,\"q\" " << QByteArray("host=\xE9\x80 ,\"q\" ");
}

void TestSettingsFormat::encodesFieldValues()
{
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(QByteArray, line);
    QMap<QString, QString> texts = kExample;
    texts[control] = text;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QCOMPARE(writeSettings(buffer, settingsOf(texts)).value_or(""), QString());
    QVERIFY2(buffer.data().contains("\r\n" + line + "\r\n"), buffer.data().constData());
    QCOMPARE(buffer.data().count("\r\n"), 15);
}

void TestSettingsFormat::refusesWhatItCannotStore_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("failure");
    const QString tail = "\", a character that a settings file cannot store.";
    QTest::newRow("sender") << "txtSenderAddress"
                            << "a密b"
                            << "The Sender Address holds \"密" + tail;
    QTest::newRow("emoji") << "txtHost"
                           << "x😀"
                           << "The Host holds \"😀" + tail;
    QTest::newRow("MAC box") << "txtMacAddress6"
                             << "Ω1"
                             << "The MAC Address holds \"Ω" + tail;
    QTest::newRow("unwritten password") << "txtPassword"
                                        << "密" << QString();
    QTest::newRow("unwritten octet") << "txtIpAddress"
                                     << "1e10" << QString();
    QTest::newRow("octet overflow") << "txtEmailServerAddress"
                                    << "1e10"
                                    << "Overflow";
}

void TestSettingsFormat::refusesWhatItCannotStore()
{
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(QString, failure);
    QMap<QString, QString> texts = kExample;
    texts[control] = text;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    // DHCP on: the IP octets are not written; FTP off: neither are the user name and password.
    const Failure result = writeSettings(buffer, settingsOf(texts, 1, 0));
    QCOMPARE(result.value_or(QString()), failure);
    QCOMPARE(buffer.data().isEmpty(), !failure.isEmpty());
}

void TestSettingsFormat::reportsAFailingDevice_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<QStringList>("applied");
    QTest::addColumn<QString>("failure");
    QTest::newRow("write fails at once")
        << QByteArray() << qint64(0) << QStringList() << "No space left on device";
    QTest::newRow("write fails after 40 bytes")
        << QByteArray() << qint64(40) << QStringList() << "No space left on device";
    QTest::newRow("empty file") << QByteArray() << qint64(100) << QStringList()
                                << "Input past end of file";
    QTest::newRow("only a line end")
        << QByteArray("\r\n") << qint64(100) << QStringList() << QString();
    QTest::newRow("read fails mid-item") << QByteArray("host=a\r\nsender=bcd\r\n") << qint64(12)
                                         << QStringList { "txtHost=a" } << "Input/output error";
}

void TestSettingsFormat::reportsAFailingDevice()
{
    QFETCH(QByteArray, file);
    QFETCH(qint64, limit);
    QFETCH(QStringList, applied);
    QFETCH(QString, failure);
    FailingDevice device(file, limit);
    Failure result;
    if (QByteArrayView(QTest::currentDataTag()).startsWith("write")) {
        result = writeSettings(device, settingsOf(kExample));
        QCOMPARE(device.written.size(), limit);
    } else {
        QCOMPARE(readAll(device, result), applied);
    }
    QCOMPARE(result.value_or(QString()), failure);
}

void TestSettingsFormat::readsHugeFilesPiecewise()
{
    // A line of 100 MB, a key beyond its kept start, then more items; then an empty item and
    // another 100 MB that must never be read.
    QTemporaryDir dir;
    QFile file(dir.filePath("huge.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray block(1024 * 1024, 'x');
    file.write("sender=");
    for (int i = 0; i < 100; ++i)
        file.write(block);
    file.write("Password=\r\nhost=h\r\n \r\n");
    const qint64 stop = file.pos();
    for (int i = 0; i < 100; ++i)
        file.write(block);
    file.close();

    const long before = peakResidentKiB();
    QVERIFY(file.open(QIODevice::ReadOnly));
    Failure failure;
    const QStringList seen = readAll(file, failure);
    QCOMPARE(failure.value_or(""), QString());
    const QString cut(kMaxTextLength, 'x');
    QCOMPARE(seen, (QStringList { "txtSenderAddress=" + cut, "txtPassword=" + cut, "txtHost=h" }));
    QVERIFY2(file.pos() < stop + 128 * 1024, "read past the empty item");
    QVERIFY2(peakResidentKiB() - before < 20 * 1024, "the file was held in memory");
}

QTEST_APPLESS_MAIN(TestSettingsFormat)
#include "test_settings_format.moc"
