#include "device_sim/device_state.h"
#include "device_sim/status_page.h"

#include <QTest>

namespace {

const QByteArray kUpload
    = "[System]\r\nDHCP=0\r\nIP0=C0A8\r\nIP1=64C8\r\nMAC0=00E0\r\nMAC1=4C68\r\n"
      "MAC2=01FA\r\n[SMTP]\r\nsender=<a@b.c>\r\nreceiver=x@y.z\r\nhost=mail\r\n"
      "maillp0=0A00\r\nmaillp1=0001\r\n[FTP]\r\nFTP=1\r\nUsername=admin\r\n"
      "Password=s3cret\r\n";

} // namespace

class TestDeviceSim : public QObject
{
    Q_OBJECT

private slots:
    void protocols_data();
    void protocols();
    void uploads_data();
    void uploads();
    void statusPage();
};

void TestDeviceSim::protocols_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("protocol");

    QTest::newRow("0") << "0" << int(UploadProtocol::Plain);
    QTest::newRow("3") << "3" << int(UploadProtocol::Zmodem);
    QTest::newRow("ymodem") << "ymodem" << int(UploadProtocol::Ymodem);
    QTest::newRow("XMODEM") << "XMODEM" << int(UploadProtocol::Xmodem);
    QTest::newRow("4") << "4" << -1;
    QTest::newRow("kermit") << "kermit" << -1;
}

void TestDeviceSim::protocols()
{
    QFETCH(QString, text);
    QFETCH(int, protocol);
    const std::optional<UploadProtocol> read = protocolFromText(text);
    QCOMPARE(read ? int(*read) : -1, protocol);
}

void TestDeviceSim::uploads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("mac");

    QTest::newRow("settings file") << kUpload << true << "192.168.100.200"
                                   << "00E04C6801FA";
    QTest::newRow("LF line ends") << QByteArray(kUpload).replace("\r\n", "\n") << true
                                  << "192.168.100.200"
                                  << "00E04C6801FA";
    QTest::newRow("empty") << QByteArray() << false << ""
                           << "";
    QTest::newRow("binary") << QByteArray("\x7f"
                                          "ELF\x02\x01\x01\x00\x00\x00",
        10) << false << ""
                            << "";
    QTest::newRow("text without keys") << QByteArray("hello, world\r\n") << false << ""
                                       << "";
}

void TestDeviceSim::uploads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);
    QFETCH(QString, ip);
    QFETCH(QString, mac);
    QString why;
    const std::optional<ServerSettings> settings = parseUploadedSettings(bytes, &why);
    QCOMPARE(settings.has_value(), accepted);
    QCOMPARE(why.isEmpty(), accepted);
    if (!settings)
        return;
    QCOMPARE(QStringList(settings->ipAddress.begin(), settings->ipAddress.end()).join('.'), ip);
    QCOMPARE(QStringList(settings->macAddress.begin(), settings->macAddress.end()).join(""), mac);
    QCOMPARE(settings->password, QStringLiteral("s3cret"));
}

void TestDeviceSim::statusPage()
{
    DeviceState state;
    QVERIFY(renderStatusPage(state).contains("No settings have been uploaded yet"));

    QString why;
    state.settings = parseUploadedSettings(kUpload, &why);
    state.lastUpload = QDateTime(QDate(2026, 12, 6), QTime(20, 21, 5));
    state.uploads = 2;
    const QString page = renderStatusPage(state);
    QVERIFY(page.contains("<title>" + statusPageTitle() + "</title>"));
    QVERIFY(page.contains("<td>192.168.100.200</td>"));
    QVERIFY(page.contains("<td>00:E0:4C:68:01:FA</td>"));
    QVERIFY(page.contains("<td>10.0.0.1</td>"));
    QVERIFY(page.contains("<td>&lt;a@b.c&gt;</td>"));
    QVERIFY(page.contains("<td>********</td>"));
    QVERIFY(!page.contains("s3cret"));
    QVERIFY(page.contains("2026-12-06T20:21:05 (2 in all)"));
}

QTEST_APPLESS_MAIN(TestDeviceSim)
#include "test_device_sim.moc"
