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
    void registryValueText();
    void linuxLookup();
    void startSysInfo_data();
    void startSysInfo();
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

void TestAbout::registryValueText()
{
    QCOMPARE(::registryValueText(Registry::kString, QByteArray("C:\\A\0B\0", 7), ""), "C:\\A");
    // 0x00010203 as the registry stores it, in the bytes of a little-endian machine.
    QCOMPARE(::registryValueText(Registry::kNumber32, QByteArray("\3\2\1", 4), ""), "&h10203");
}

void TestAbout::linuxLookup()
{
    // The first of the desktop's tools found stands in for the registry's entry.
    QString text;
    PosixRegistry shell({ "no-such-tool", "/bin/sh" });
    QVERIFY(GetKeyValue(shell, Registry::kLocalMachine, kInfoKey, "PATH", text).found);
    QCOMPARE(text, "/bin/sh");
}

void TestAbout::startSysInfo_data()
{
    QTest::addColumn<QByteArray>("path"); // the first entry's data; empty: none
    QTest::addColumn<bool>("folderHasTool"); // the second entry, C:\Tools, holds the tool
    QTest::addColumn<QString>("started"); // empty: nothing started, a message instead
    QTest::newRow("first entry") << QByteArray("/bin/tool") << true << "/bin/tool";
    QTest::newRow("second entry") << QByteArray() << true << "C:\\Tools\\MSINFO32.EXE";
    QTest::newRow("second entry without the tool") << QByteArray() << false << "";
}

void TestAbout::startSysInfo()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, folderHasTool);
    QFETCH(QString, started);
    if (!path.isEmpty())
        m_registry.setString(kInfoKey, "PATH", path);
    m_registry.setString("SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", "C:\\Tools");
    if (folderHasTool)
        m_system.existing = { "C:\\Tools\\MSINFO32.EXE" };

    m_about->About();
    m_about->window()->findChild<QPushButton*>("cmdSysInfo")->click();
    QCOMPARE(m_launcher.started.size(), started.isEmpty() ? 0 : 1);
    QCOMPARE(m_launcher.started.value(0).program, started);
    QCOMPARE(m_boxes.shown.size(), started.isEmpty() ? 1 : 0);
    QCOMPARE(m_registry.openCount, 0); // every key read is closed again
}

void TestAbout::oneInstanceUntilClosed()
{
    m_window->menuItem("AboutMenu")->trigger();
    QPointer<frmAbout> about = m_about->window();
    about->findChild<QLabel*>("lblVersion")->setText("changed");
    m_window->menuItem("AboutMenu")->trigger();
    QCOMPARE(m_window->findChildren<frmAbout*>(), QList<frmAbout*> { about });
    QCOMPARE(about->findChild<QLabel*>("lblVersion")->text(), "changed");
    QTest::keyClick(about, Qt::Key_Escape);
    QTRY_VERIFY(!about);
    // The next About loads a new box.
    m_window->menuItem("AboutMenu")->trigger();
    QCOMPARE(m_about->window()->findChild<QLabel*>("lblVersion")->text(), "Version 1.0.9");
}

QTEST_MAIN(TestAbout)
#include "test_about.moc"
