#include "about/frm_about.h"
#include "about/get_key_value.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_process_launcher.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_system_directory.h"
#include "main_window/frm_main.h"
#include "platform/registry_posix.h"
#include "serial_link/sax_comm.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

const QString kInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const QString kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

QByteArray number32(quint32 value)
{
    return QByteArray(reinterpret_cast<const char*>(&value), 4) + QByteArray(1020, '\0');
}

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_registry = FakeRegistry();
        m_system = FakeSystemDirectory();
        m_launcher = FakeProcessLauncher();
        m_boxes.shown.clear();
        m_window = std::make_unique<frmMain>(m_comm, m_boxes);
        m_about = std::make_unique<AboutCommand>(
            *m_window, AboutPlatform { m_registry, m_system, m_launcher, m_boxes });
    }
    void registryValueText_data();
    void registryValueText();
    void getKeyValue_data();
    void getKeyValue();
    void startSysInfo_data();
    void startSysInfo();
    void oneInstanceUntilClosed_data();
    void oneInstanceUntilClosed();

private:
    FakeMessageBoxes m_boxes;
    FakeRegistry m_registry;
    FakeSystemDirectory m_system;
    FakeProcessLauncher m_launcher;
    SaxComm m_comm { QProcessEnvironment() };
    std::unique_ptr<frmMain> m_window;
    std::unique_ptr<AboutCommand> m_about;
};

void TestAbout::registryValueText_data()
{
    QTest::addColumn<quint32>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("text");
    const QByteArray zeros(1000, '\0');
    QTest::newRow("string with a zero") << 1u << QByteArray("C:\\A\0B", 6) + zeros << "C:\\A";
    QTest::newRow("number 0") << 4u << number32(0) << "&h0";
    QTest::newRow("number with zero bytes") << 4u << number32(0x12003400) << "&h12003400";
    QTest::newRow("number with small bytes") << 4u << number32(0x00010203) << "&h10203";
    QTest::newRow("largest number") << 4u << number32(0xFFFFFFFF) << "&hFFFFFFFF";
}

void TestAbout::registryValueText()
{
    QFETCH(quint32, type);
    QFETCH(QByteArray, data);
    QFETCH(QString, text);
    QCOMPARE(::registryValueText(type, data, "caller's").value_or("none"), text);
}

void TestAbout::getKeyValue_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("found");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<QString>("keyVal");
    QTest::newRow("string") << "/usr/bin/tool" << true << false << "/usr/bin/tool";
    QTest::newRow("key refused") << "refused" << false << false << "";
    QTest::newRow("no value") << "other value" << false << false << "";
    QTest::newRow("too long") << "1025" << false << false << "";
    QTest::newRow("fills the buffer") << "1024" << false << true << "caller's";
    QTest::newRow("fits with its end") << "1023" << true << false << QString(1023, 'x');
    QTest::newRow("other type") << "binary" << true << false << "caller's";
    QTest::newRow("linux: a desktop tool") << "linux" << true << false << "/bin/sh";
    QTest::newRow("linux: no tool") << "linux none" << false << false << "";
}

void TestAbout::getKeyValue()
{
    QFETCH(QString, setup);
    QFETCH(bool, found);
    QFETCH(bool, failed);
    QFETCH(QString, keyVal);
    PosixRegistry posix({ "no-such-info-tool", setup == "linux" ? "/bin/sh" : "no-such-tool" });
    Registry& registry = setup.startsWith("linux") ? static_cast<Registry&>(posix) : m_registry;
    if (setup.toInt() > 0)
        m_registry.setString(kInfoKey, "PATH", QByteArray(setup.toInt(), 'x'));
    else if (setup == "binary")
        m_registry.keys[kInfoKey]["PATH"] = { 3, "\x01" };
    else if (setup.startsWith('/'))
        m_registry.setString(kInfoKey, "PATH", setup.toUtf8() + '\0');
    else
        m_registry.setString(kInfoKey, "other value", "x");
    if (setup == "refused")
        m_registry.refused = { kInfoKey };

    QString text = "caller's";
    const KeyValueResult result
        = GetKeyValue(registry, Registry::kLocalMachine, kInfoKey, "PATH", text);
    QCOMPARE(result.found, found);
    QCOMPARE(result.failure.has_value(), failed);
    QCOMPARE(text, keyVal);
    QCOMPARE(m_registry.openCount, 0);
    if (&registry == &m_registry)
        QCOMPARE(m_registry.accessRequested, 0x2003Fu);
}

void TestAbout::startSysInfo_data()
{
    QTest::addColumn<QByteArray>("path"); // the first entry's data
    QTest::addColumn<bool>("folderHasTool"); // the second entry holds C:\Tools
    QTest::addColumn<bool>("startFails");
    QTest::addColumn<QString>("started"); // "-": nothing started
    QTest::addColumn<bool>("message");
    const auto row = [](const char* tag, const QByteArray& path, bool folderHasTool,
                         bool startFails, const char* started, bool message) {
        QTest::newRow(tag) << path << folderHasTool << startFails << QString(started) << message;
    };
    row("first entry", "/usr/bin/hardinfo", true, false, "/usr/bin/hardinfo", false);
    row("second entry with the tool", "", true, false, "C:\\Tools\\MSINFO32.EXE", false);
    row("second entry without it", "", false, false, "-", true);
    row("first entry cannot start", "/missing/tool", false, true, "/missing/tool", true);
    row("first entry without an end", QByteArray(1024, 'x'), true, false, "-", true);
}

void TestAbout::startSysInfo()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, folderHasTool);
    QFETCH(bool, startFails);
    QFETCH(QString, started);
    QFETCH(bool, message);
    if (!path.isEmpty())
        m_registry.setString(kInfoKey, "PATH", path);
    m_registry.setString(kLocationKey, "MSINFO", "C:\\Tools");
    if (folderHasTool)
        m_system.existing = { "C:\\Tools\\MSINFO32.EXE" };
    if (startFails)
        m_launcher.failure = QString("cannot start");

    m_about->About();
    m_about->window()->findChild<QPushButton*>("cmdSysInfo")->click();
    QCOMPARE(m_launcher.started.size(), started == "-" ? 0 : 1);
    if (started != "-")
        QCOMPARE(m_launcher.started[0].program, started);
    QCOMPARE(m_boxes.shown,
        message ? QStringList { "System Information Is Unavailable At This Time" } : QStringList());
    QVERIFY(m_about->window()->isVisible());
}

void TestAbout::oneInstanceUntilClosed_data()
{
    QTest::addColumn<int>("key"); // 0: the OK button
    QTest::newRow("OK") << 0;
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void TestAbout::oneInstanceUntilClosed()
{
    QFETCH(int, key);
    m_window->menuItem("AboutMenu")->trigger();
    QPointer<frmAbout> about = m_about->window();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QCOMPARE(about->windowTitle(), "About Lumo Brisk Terminal");
    about->findChild<QLabel*>("lblVersion")->setText("changed");
    m_window->menuItem("AboutMenu")->trigger();
    QCOMPARE(m_window->findChildren<frmAbout*>(), QList<frmAbout*> { about });
    QCOMPARE(about->findChild<QLabel*>("lblVersion")->text(), "changed");

    if (key == 0)
        about->findChild<QPushButton*>("cmdOK")->click();
    else
        QTest::keyClick(about, Qt::Key(key));
    QTRY_VERIFY(!about);
    // The next About loads a new box.
    m_window->menuItem("AboutMenu")->trigger();
    QCOMPARE(m_about->window()->findChild<QLabel*>("lblVersion")->text(), "Version 1.0.9");
}

QTEST_MAIN(TestAbout)
#include "test_about.moc"
