#include "fakes/fake_message_boxes.h"
#include "fakes/fake_process_launcher.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_system_directory.h"
#include "platform/get_key_value.h"
#include "platform/registry_posix.h"
#include "serial_link/sax_comm.h"
#include "windows/frm_about.h"
#include "windows/frm_main.h"

#include <QAction>
#include <QPushButton>
#include <QTest>

const QString kInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void registryValuesAndSysInfoInOneBox();
};

void TestAbout::registryValuesAndSysInfoInOneBox()
{
    QCOMPARE(registryValueText(Registry::kString, QByteArray("C:\\A\0B\0", 7), ""), "C:\\A");
    // 0x00010203 as the registry stores it, in the bytes of a little-endian machine.
    QCOMPARE(registryValueText(Registry::kNumber32, QByteArray("\3\2\1", 4), ""), "&h10203");
    // The first of the desktop's tools found stands in for the registry's entry.
    QString text;
    PosixRegistry shell({ "no-such-tool", "/bin/sh" });
    QVERIFY(GetKeyValue(shell, Registry::kLocalMachine, kInfoKey, "PATH", text).value());
    QCOMPARE(text, "/bin/sh");

    SaxComm comm { QProcessEnvironment() };
    FakeMessageBoxes boxes;
    FakeRegistry registry;
    FakeSystemDirectory system;
    FakeProcessLauncher launcher;
    frmMain window(comm, boxes);
    AboutCommand command(window, AboutPlatform { registry, system, launcher, boxes });
    // One box, however often About is chosen, until it is closed.
    window.menu().AboutMenu->trigger();
    window.menu().AboutMenu->trigger();
    QCOMPARE(window.findChildren<frmAbout*>().size(), 1);
    QPointer<frmAbout> about = command.window();
    auto* sysInfo = about->findChild<QPushButton*>("cmdSysInfo");

    // The second entry's folder without the tool: a message. Then with it; then the first entry,
    // which comes before the second.
    registry.setString("SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", "C:\\Tools");
    sysInfo->click();
    system.existing = { "C:\\Tools\\MSINFO32.EXE" };
    sysInfo->click();
    registry.setString(kInfoKey, "PATH", "/bin/tool");
    sysInfo->click();
    QCOMPARE(launcher.started.value(0).program, "C:\\Tools\\MSINFO32.EXE");
    QCOMPARE(launcher.started.value(1).program, "/bin/tool");
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(registry.openCount, 0); // every key read is closed again
    // Enter on the focused button starts the tool too, and About stays open.
    sysInfo->setFocus();
    QTest::keyClick(sysInfo, Qt::Key_Return);
    QCOMPARE(launcher.started.size(), 3);
    QVERIFY(about->isVisible());

    QTest::keyClick(about, Qt::Key_Escape);
    QTRY_VERIFY(!about);
    window.menu().AboutMenu->trigger();
    QVERIFY(command.window());
}

QTEST_MAIN(TestAbout)
#include "test_about.moc"
