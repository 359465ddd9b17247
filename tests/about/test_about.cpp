#include "about/frm_about.h"
#include "about/get_key_value.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_process_launcher.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_system_directory.h"
#include "main_window/frm_main.h"
#include "platform/registry_posix.h"
#include "platform/twips.h"
#include "serial_link/sax_comm.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString kInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const QString kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const QString kUnavailable = "System Information Is Unavailable At This Time";

QByteArray number32(quint32 value)
{
    return QByteArray(reinterpret_cast<const char*>(&value), 4);
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void registryValueText_data();
    void registryValueText();
    void getKeyValue_data();
    void getKeyValue();
    void startSysInfo_data();
    void startSysInfo();
    void posixRegistryFindsADesktopTool();

    void layout();
    void oneInstance();
    void closingKeys_data();
    void closingKeys();

private:
    FakeMessageBoxes m_boxes;
    FakeRegistry m_registry;
    FakeSystemDirectory m_system;
    FakeProcessLauncher m_launcher;
    std::unique_ptr<SaxComm> m_comm;
    std::unique_ptr<frmMain> m_window;
    std::unique_ptr<AboutCommand> m_about;
};

void TestAbout::init()
{
    m_comm = std::make_unique<SaxComm>(QProcessEnvironment());
    m_window = std::make_unique<frmMain>(*m_comm, m_boxes);
    m_about = std::make_unique<AboutCommand>(
        *m_window, AboutPlatform { m_registry, m_system, m_launcher, m_boxes });
}

void TestAbout::cleanup()
{
    m_about.reset();
    m_window.reset();
    m_comm.reset();
    m_boxes.shown.clear();
    m_registry = FakeRegistry();
    m_system = FakeSystemDirectory();
    m_launcher = FakeProcessLauncher();
}

void TestAbout::registryValueText_data()
{
    QTest::addColumn<quint32>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ended");
    const QByteArray zeros(1000, '\0');
    QTest::newRow("string") << 1u << QByteArray("C:\\WINDOWS\\msinfo32.exe") + zeros
                            << "C:\\WINDOWS\\msinfo32.exe" << true;
    QTest::newRow("string cut at its first zero")
        << 1u << QByteArray("C:\\A\0B\0", 7) + zeros << "C:\\A" << true;
    QTest::newRow("empty string") << 1u << zeros << "" << true;
    QTest::newRow("number zero") << 4u << number32(0) + zeros << "&h0" << true;
    QTest::newRow("number below 16") << 4u << number32(0x0A) + zeros << "&hA" << true;
    QTest::newRow("number with zero bytes")
        << 4u << number32(0x12003400) + zeros << "&h12003400" << true;
    QTest::newRow("number with small bytes")
        << 4u << number32(0x00010203) + zeros << "&h10203" << true;
    QTest::newRow("largest number") << 4u << number32(0xFFFFFFFF) + zeros << "&hFFFFFFFF" << true;
    QTest::newRow("other type keeps the text")
        << 3u << QByteArray("\x01\x02") + zeros << "kept" << true;
    QTest::newRow("no zero byte") << 1u << QByteArray(1024, 'x') << "" << false;
}

void TestAbout::registryValueText()
{
    QFETCH(quint32, type);
    QFETCH(QByteArray, data);
    QFETCH(QString, text);
    QFETCH(bool, ended);
    const std::optional<QString> result = ::registryValueText(type, data, "kept");
    QCOMPARE(result.has_value(), ended);
    QCOMPARE(result.value_or(QString()), text);
}

void TestAbout::getKeyValue_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("found");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<QString>("keyVal");
    QTest::newRow("string") << "string" << true << false << "/usr/bin/tool";
    QTest::newRow("no key") << "none" << false << false << "";
    QTest::newRow("key refused") << "refused" << false << false << "";
    QTest::newRow("no value") << "no value" << false << false << "";
    QTest::newRow("too long") << "1025" << false << false << "";
    QTest::newRow("fills the buffer") << "1024" << false << true << "caller's";
    QTest::newRow("1023 and its end") << "1023" << true << false << QString(1023, 'x');
    QTest::newRow("other type") << "binary" << true << false << "caller's";
}

void TestAbout::getKeyValue()
{
    QFETCH(QString, setup);
    QFETCH(bool, found);
    QFETCH(bool, failed);
    QFETCH(QString, keyVal);
    if (setup == "string")
        m_registry.setString(kInfoKey, "PATH", "/usr/bin/tool");
    else if (setup == "refused" || setup == "no value")
        m_registry.setString(kInfoKey, "Other", "x");
    if (setup == "refused")
        m_registry.refused = { kInfoKey };
    if (setup.toInt() > 0)
        m_registry.setString(kInfoKey, "PATH", QByteArray(setup.toInt(), 'x'));
    if (setup == "binary")
        m_registry.keys[kInfoKey]["PATH"] = { 3, "\x01" };

    QString text = "caller's";
    const KeyValueResult result
        = GetKeyValue(m_registry, Registry::kLocalMachine, kInfoKey, "PATH", text);
    QCOMPARE(result.found, found);
    QCOMPARE(result.failure.has_value(), failed);
    QCOMPARE(text, keyVal);
    QCOMPARE(m_registry.openCount, 0);
    QCOMPARE(m_registry.accessRequested, 0x2003Fu);
}

void TestAbout::startSysInfo_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("folderHasTool");
    QTest::addColumn<bool>("startFails");
    QTest::addColumn<QString>("started");
    QTest::addColumn<bool>("message");
    const QString tool = "C:\\Tools\\MSINFO32.EXE";
    QTest::newRow("first entry") << "/usr/bin/hardinfo"
                                 << "C:\\Tools" << true << false << "/usr/bin/hardinfo" << false;
    QTest::newRow("second entry with the tool") << ""
                                                << "C:\\Tools" << true << false << tool << false;
    QTest::newRow("second entry without the tool") << ""
                                                   << "C:\\Tools" << false << false << "" << true;
    QTest::newRow("first entry cannot start") << "/missing/tool"
                                              << "" << false << true << "/missing/tool" << true;
    QTest::newRow("nothing registered") << ""
                                        << "" << false << false << "" << true;
    QTest::newRow("first entry of another type") << "binary"
                                                 << "" << false << true << "" << true;
    QTest::newRow("first entry without an end") << "1024"
                                                << "C:\\Tools" << true << false << "" << true;
}

void TestAbout::startSysInfo()
{
    QFETCH(QString, path);
    QFETCH(QString, folder);
    QFETCH(bool, folderHasTool);
    QFETCH(bool, startFails);
    QFETCH(QString, started);
    QFETCH(bool, message);
    if (path == "binary")
        m_registry.keys[kInfoKey]["PATH"] = { 3, "\x01" };
    else if (path == "1024")
        m_registry.setString(kInfoKey, "PATH", QByteArray(1024, 'x'));
    else if (!path.isEmpty())
        m_registry.setString(kInfoKey, "PATH", path.toLocal8Bit());
    if (!folder.isEmpty())
        m_registry.setString(kLocationKey, "MSINFO", folder.toLocal8Bit());
    if (folderHasTool)
        m_system.existing = { folder + "\\MSINFO32.EXE" };
    if (startFails)
        m_launcher.failure = QString("cannot start");

    m_about->About();
    m_about->window()->findChild<QPushButton*>("cmdSysInfo")->click();
    QCOMPARE(m_launcher.started.size(), started.isEmpty() && !startFails ? 0 : 1);
    if (!m_launcher.started.isEmpty()) {
        QCOMPARE(m_launcher.started[0].program, started);
        QVERIFY(m_launcher.started[0].arguments.isEmpty());
        QVERIFY(!m_launcher.started[0].inTerminal);
    }
    QCOMPARE(m_boxes.shown, message ? QStringList { kUnavailable } : QStringList());
    QVERIFY(m_about->window()->isVisible());
    QCOMPARE(m_registry.openCount, 0);
}

void TestAbout::posixRegistryFindsADesktopTool()
{
    QTemporaryDir dir;
    QFile tool(dir.filePath("info tool"));
    QVERIFY(tool.open(QIODevice::WriteOnly));
    QVERIFY(tool.setPermissions(tool.permissions() | QFile::ExeOwner));
    PosixRegistry present({ "no-such-system-info-tool", tool.fileName() });
    QString text;
    QVERIFY(GetKeyValue(present, Registry::kLocalMachine, kInfoKey, "PATH", text).found);
    QCOMPARE(text, tool.fileName());
    QVERIFY(!GetKeyValue(present, Registry::kLocalMachine, kLocationKey, "MSINFO", text).found);

    PosixRegistry absent({ "no-such-system-info-tool" });
    QVERIFY(!GetKeyValue(absent, Registry::kLocalMachine, kInfoKey, "PATH", text).found);
}

void TestAbout::layout()
{
    m_about->About();
    frmAbout* about = m_about->window();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    const auto rect = [about](int l, int t, int w, int h) { return twipsRect(*about, l, t, w, h); };
    QCOMPARE(about->windowTitle(), "About Lumo Brisk Terminal");
    QCOMPARE(about->size(), rect(0, 0, 5865, 3630).size());
    QCOMPARE(about->minimumSize(), about->maximumSize());
    const auto label = [about](const char* name) { return about->findChild<QLabel*>(name); };
    QCOMPARE(label("lblTitle")->text(), "Lumo Brisk Terminal");
    QCOMPARE(label("lblVersion")->text(), "Version 1.0.9");
    QCOMPARE(label("lblDescription")->text(), "Lumo Brisk Terminal");
    QVERIFY(label("lblDisclaimer")->text().startsWith("Copyright"));
    QCOMPARE(label("lblVersion")->geometry(), rect(1050, 780, 4092, 225));
    QCOMPARE(label("picIcon")->geometry(), rect(240, 240, 540, 540));
    QVERIFY(!label("picIcon")->pixmap().isNull());
    auto* ok = about->findChild<QPushButton*>("cmdOK");
    auto* sysInfo = about->findChild<QPushButton*>("cmdSysInfo");
    QCOMPARE(ok->geometry(), rect(4245, 2625, 1467, 345));
    QCOMPARE(sysInfo->geometry(), rect(4260, 3075, 1452, 345));
    QVERIFY(ok->isDefault());
    QCOMPARE(sysInfo->text(), "&System Info...");
    QCOMPARE(
        about->findChild<QWidget*>("Line1")->geometry().topLeft(), rect(225, 2430, 0, 0).topLeft());
}

void TestAbout::oneInstance()
{
    m_window->menuItem("AboutMenu")->trigger();
    QPointer<frmAbout> first = m_about->window();
    QVERIFY(first);
    first->findChild<QLabel*>("lblVersion")->setText("changed");
    m_window->menuItem("AboutMenu")->trigger();
    QCOMPARE(m_about->window(), first.data());
    QCOMPARE(m_window->findChildren<frmAbout*>().size(), 1);
    // Load did not run again.
    QCOMPARE(first->findChild<QLabel*>("lblVersion")->text(), "changed");
    QVERIFY(!m_window->isVisible() || m_window->isEnabled());
}

void TestAbout::closingKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("OK") << 0;
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void TestAbout::closingKeys()
{
    QFETCH(int, key);
    m_about->About();
    QPointer<frmAbout> about = m_about->window();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    if (key == 0)
        about->findChild<QPushButton*>("cmdOK")->click();
    else
        QTest::keyClick(about, Qt::Key(key));
    // Closing unloads the box: the next About loads a new one.
    QTRY_VERIFY(!about);
    m_about->About();
    QVERIFY(m_about->window());
    QCOMPARE(m_about->window()->findChild<QLabel*>("lblVersion")->text(), "Version 1.0.9");
}

QTEST_MAIN(TestAbout)
#include "test_about.moc"
