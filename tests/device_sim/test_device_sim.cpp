#include "device_sim/device_state.h"
#include "device_sim/status_page.h"

#include <QTest>

class TestDeviceSim : public QObject
{
    Q_OBJECT

private slots:
    void protocolsByNumberOrName();
    void rejectsWhatIsNotASettingsFile();
    void statusPageShowsTheUpload();
};

void TestDeviceSim::protocolsByNumberOrName()
{
    QVERIFY(protocolFromText("3") == UploadProtocol::Zmodem);
    QVERIFY(protocolFromText("XMODEM") == UploadProtocol::Xmodem);
    QVERIFY(!protocolFromText("kermit"));
}

void TestDeviceSim::rejectsWhatIsNotASettingsFile()
{
    for (const QByteArray& bytes :
        { QByteArray("\x7f\x45LF\x02\x01\x01\x00\x00\x00", 10), QByteArray("hello, world\r\n") }) {
        const Result<ServerSettings> parsed = parseUploadedSettings(bytes);
        QVERIFY(!parsed.ok());
        QVERIFY2(!parsed.error().isEmpty(), bytes.constData());
    }
}

void TestDeviceSim::statusPageShowsTheUpload()
{
    DeviceState state;
    QVERIFY(renderStatusPage(state).contains("No settings have been uploaded yet"));

    const Result<ServerSettings> parsed
        = parseUploadedSettings("[System]\r\nDHCP=0\r\nIP0=C0A8\r\nIP1=64C8\r\nMAC0=00E0\r\n"
                                "MAC1=4C68\r\nMAC2=01FA\r\n[SMTP]\r\nsender=<a@b.c>\r\n"
                                "[FTP]\r\nPassword=s3cret\r\n");
    QVERIFY2(parsed.ok(), qPrintable(parsed.ok() ? QString() : parsed.error()));
    state.settings = parsed.value();
    state.lastUpload = QDateTime(QDate(2026, 12, 6), QTime(20, 21, 5));
    state.uploads = 2;
    const QString page = renderStatusPage(state);
    QVERIFY(page.contains("<title>" + statusPageTitle() + "</title>"));
    QVERIFY(page.contains("<td>192.168.100.200</td>"));
    QVERIFY(page.contains("<td>00:E0:4C:68:01:FA</td>"));
    QVERIFY(page.contains("<td>&lt;a@b.c&gt;</td>"));
    QVERIFY(page.contains("<td>********</td>"));
    QVERIFY(!page.contains("s3cret"));
    QVERIFY(page.contains("2026-12-06T20:21:05 (2 in all)"));
}

QTEST_APPLESS_MAIN(TestDeviceSim)
#include "test_device_sim.moc"
