#include "settings_file/settings_format.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

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

// A buffer that fails once its data is read, like a failing medium.
class FailingBuffer final : public QBuffer
{
protected:
    qint64 readData(char* to, qint64 max) override
    {
        setErrorString("Input/output error");
        const qint64 n = QBuffer::readData(to, max);
        return n > 0 ? n : -1;
    }
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

} // namespace

class TestSettingsFormat : public QObject
{
    Q_OBJECT

private slots:
    void writes_data();
    void writes();
    void readStopsAtAFailingDevice();
    void readsHugeFilesPiecewise();
};

void TestSettingsFormat::writes_data()
{
    // The worked example with the switches set and one text changed.
    QTest::addColumn<int>("dhcp");
    QTest::addColumn<int>("ftp");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected"); // empty: the file is refused, nothing written
    QTest::addColumn<QString>("failure");
    const auto add
        = [](const char* tag, int dhcp, int ftp, const QString& control, const QString& text,
              const QByteArray& expected, const QString& failure = {}) {
              QTest::newRow(tag) << dhcp << ftp << control << text << expected << failure;
          };
    const QByteArray ip = "IP0=C0A8\r\nIP1=0114\r\n";
    const QByteArray rest = "MAC0=021A\r\nMAC1=2B3C\r\nMAC2=4D5E\r\n[SMTP]\r\nsender=monitor\r\n"
                            "receiver=operator\r\nhost=relay\r\nmaillp0=0A00\r\nmaillp1=00FE\r\n"
                            "[FTP]\r\n";
    const QByteArray example = "[System]\r\nDHCP=0\r\n" + ip + rest + "FTP=0\r\n";
    const auto changed
        = [&](const char* from, const char* to) { return QByteArray(example).replace(from, to); };
    add("worked example, 15 lines", 0, 0, "", "", example);
    add("DHCP on, 13 lines, the octets unchecked", 1, 0, "txtIpAddress", "1e10",
        "[System]\r\nDHCP=1\r\n" + rest + "FTP=0\r\n");
    add("FTP on, DHCP's third state is off, 17 lines", 2, 1, "", "",
        "[System]\r\nDHCP=0\r\n" + ip + rest + "FTP=1\r\nUsername=service\r\nPassword=\r\n");
    add("half to even", 0, 0, "txtIpAddress2", "6.5", changed("IP0=C0A8", "IP0=C006"));
    add("negative", 0, 0, "txtIpAddress2", "-1", changed("IP0=C0A8", "IP0=C0FFFFFFFF"));
    add("MAC joined as is", 0, 0, "txtMacAddress", "A", changed("MAC0=021A", "MAC0=A1A"));
    add("Windows-1252 text", 0, 0, "txtHost", "é€ ,\"q\" ",
        changed("host=relay", "host=\xE9\x80 ,\"q\" "));
    add("no Windows-1252 character", 0, 0, "txtHost", "x😀", "",
        "The Host holds \"😀\", a character that a settings file cannot store.");
    add("octet overflow", 1, 0, "txtEmailServerAddress", "1e10", "",
        "An address byte is out of range.");
}

void TestSettingsFormat::writes()
{
    QFETCH(int, dhcp);
    QFETCH(int, ftp);
    QFETCH(QString, control);
    QFETCH(QString, text);
    QMap<QString, QString> texts = kExample;
    texts[control] = text;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const ServerSettings settings
        = collectServerSettings([&](const QString& name) { return texts.value(name); },
            [&](const QString& name) { return name == "chkDHCP" ? dhcp : ftp; });
    QTEST(writeSettings(buffer, settings).value_or(""), "failure");
    QTEST(buffer.data(), "expected");
}

void TestSettingsFormat::readStopsAtAFailingDevice()
{
    // The item cut short by the failure is not applied.
    FailingBuffer device;
    device.setData("host=a\r\nsend");
    QVERIFY(device.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    Failure failure;
    QCOMPARE(readAll(device, failure), QStringList { "txtHost=a" });
    QCOMPARE(failure.value_or(""), "Input/output error");
}

void TestSettingsFormat::readsHugeFilesPiecewise()
{
    // A line of 100 MB with a key far beyond its kept start, more items, then an empty item and
    // another 100 MB that must never be read.
    QTemporaryDir dir;
    QFile file(dir.filePath("huge.ini"));
    QVERIFY(file.open(QIODevice::ReadWrite) && file.write("sender=") == 7);
    // NUL bytes up to "Password=", which then straddles two reads of 64 KiB.
    QVERIFY(file.resize(100 * 1024 * 1024 + 65536 - 4) && file.seek(file.size()));
    file.write("Password=\r\nhost=h\r\n \r\n");
    const qint64 stop = file.pos();
    QVERIFY(file.resize(stop + 100 * 1024 * 1024));
    QVERIFY(file.seek(0));
    Failure failure;
    const QStringList seen = readAll(file, failure);
    QCOMPARE(failure.value_or(""), QString());
    const QString cut(kMaxTextLength, QChar(0));
    QCOMPARE(seen, (QStringList { "txtSenderAddress=" + cut, "txtPassword=" + cut, "txtHost=h" }));
    QVERIFY2(file.pos() < stop + 128 * 1024, "read past the empty item");
}

QTEST_APPLESS_MAIN(TestSettingsFormat)
#include "test_settings_format.moc"
