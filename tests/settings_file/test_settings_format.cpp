#include "settings_file/settings_format.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsFormat : public QObject
{
    Q_OBJECT

private slots:
    void writes_data();
    void writes();
    void readFailureIsTheDevices();
    void readsLongLinesPiecewise();
};

void TestSettingsFormat::writes_data()
{
    // The whole file's layout is checked by the files read and saved in the commands' test; here,
    // the rules of the values, from settings whose texts are all empty but one, FTP in its
    // third state.
    QTest::addColumn<int>("dhcp");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected"); // empty: the file is refused, nothing written
    const auto add = [](const char* tag, int dhcp, const QString& control, const QString& text,
                         const QByteArray& expected) {
        QTest::newRow(tag) << dhcp << control << text << expected;
    };
    const QByteArray off // DHCP off, FTP off
        = "[System]\r\nDHCP=0\r\nIP0=0000\r\nIP1=0000\r\nMAC0=\r\nMAC1=\r\nMAC2=\r\n"
          "[SMTP]\r\nsender=\r\nreceiver=\r\nhost=\r\nmaillp0=0000\r\nmaillp1=0000\r\n"
          "[FTP]\r\nFTP=0\r\n";
    const auto changed
        = [&](const char* from, const char* to) { return QByteArray(off).replace(from, to); };
    add("DHCP on, the octets unchecked", 1, "txtIpAddress", "1e10",
        changed("DHCP=0\r\nIP0=0000\r\nIP1=0000", "DHCP=1"));
    add("DHCP's third state is off; a negative octet", 2, "txtIpAddress2", "-1", "");
    add("an octet above a byte", 2, "txtIpAddress4", "256", "");
    add("a one-digit MAC box and empty ones after it", 2, "txtMacAddress", "A",
        changed("MAC0=\r\nMAC1=\r\nMAC2=", "MAC0=0A00\r\nMAC1=0000\r\nMAC2=0000"));
    add("a comma in a text", 2, "txtSenderAddress", "a,b@example.com", "");
    add("half to even", 2, "txtIpAddress2", "6.5", changed("IP0=0000", "IP0=0006"));
    add("no Windows-1252 character", 2, "txtHost", "x😀", "");
    add("octet overflow", 1, "txtEmailServerAddress", "1e10", "");
}

void TestSettingsFormat::writes()
{
    QFETCH(int, dhcp);
    QFETCH(QString, control);
    QFETCH(QString, text);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const ServerSettings settings
        = collectServerSettings([&](const QString& name) { return name == control ? text : ""; },
            [&](const QString& name) { return name == "chkDHCP" ? dhcp : 2; });
    QFETCH(QByteArray, expected);
    QCOMPARE(!writeSettings(buffer, settings).ok(), expected.isEmpty());
    QCOMPARE(buffer.data(), expected);
}

void TestSettingsFormat::readFailureIsTheDevices()
{
    // Reading the process's memory from address 0 fails at once, as a failing medium does.
    QFile failing("/proc/self/mem");
    QVERIFY(failing.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    QCOMPARE(readSettings(failing, [](const SettingsAssignment&) {}),
        Result<>(Failure { "Input/output error" }));
}

void TestSettingsFormat::readsLongLinesPiecewise()
{
    // A line three of the reader's 64 KiB pieces long, with a key far beyond its kept start,
    // more items, then an empty item and a megabyte that must never be read.
    QTemporaryDir dir;
    QFile file(dir.filePath("long.ini"));
    QVERIFY(file.open(QIODevice::ReadWrite) && file.write("sender=") == 7);
    // NUL bytes up to "Password=", which then straddles two reads of 64 KiB.
    QVERIFY(file.resize(3 * 65536 - 4) && file.seek(file.size()));
    file.write("Password=\r\nhost=h\r\n \r\n");
    const qint64 stop = file.pos();
    QVERIFY(file.resize(stop + 1024 * 1024));
    QVERIFY(file.seek(0));
    QStringList seen;
    const auto record = [&](const SettingsAssignment& a) {
        seen << a.control + "=" + std::get<QString>(a.value);
    };
    QCOMPARE(readSettings(file, record), Result<> {});
    const QString cut(kMaxTextLength, QChar(0));
    QCOMPARE(seen, (QStringList { "txtSenderAddress=" + cut, "txtPassword=" + cut, "txtHost=h" }));
    QVERIFY2(file.pos() < stop + 128 * 1024, "read past the empty item");
}

QTEST_APPLESS_MAIN(TestSettingsFormat)
#include "test_settings_format.moc"
