// The device chosen for COM1, as the RS232 dialog's Apply chooses it, kept in the user's
// configuration folder and opened by itself at the next start; the terminal started twice in one
// process.

#include "app/terminal.h"
#include "fakes/fake_browser_module.h"
#include "fakes/fake_file_dialogs.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_process_launcher.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_serial_port_list.h"
#include "fakes/fake_system_directory.h"
#include "fakes/fake_working_directory.h"
#include "platform/device_choices_posix.h"
#include "testkit/file_contents.h"
#include "testkit/lrzsz_receiver.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

/// The terminal on fakes, except for its serial port and its kept choices. The one adapter it
/// detects, ~/ttyUSB0, is not there: it makes the default device, and no real one is found.
struct Rig
{
    Rig(const QProcessEnvironment& environment, const QString& folder, const QString& configFile)
        : choices(configFile)
        , terminal({ boxes, dialogs, workingDirectory, systemDirectory, launcher, registry,
                       browsers, ports, choices },
              environment)
    {
        ports.entries = { { folder + "/ttyUSB0", "FT232R USB UART (FTDI)" } };
        workingDirectory.path = folder;
    }

    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs; // cancelled: Write sends the working folder's server.ini
    FakeWorkingDirectory workingDirectory;
    FakeSystemDirectory systemDirectory;
    FakeProcessLauncher launcher;
    FakeRegistry registry;
    FakeBrowserModule browsers;
    FakeSerialPortList ports;
    PosixDeviceChoices choices;
    Terminal terminal;
};

} // namespace

class TestDeviceChoice : public QObject
{
    Q_OBJECT

public:
    // Set before the settings library first looks for the configuration folder.
    static void initMain()
    {
        static QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    }

private slots:
    void keptAcrossRestarts_data();
    void keptAcrossRestarts();
};

void TestDeviceChoice::keptAcrossRestarts_data()
{
    // "~" stands for a fresh folder, "@" for ~/line: a link to the receiver of each start.
    QTest::addColumn<QByteArray>("file"); // the configuration file at the first start
    QTest::addColumn<bool>("variable"); // ZELVIC_COM1 names ~/line
    QTest::addColumn<QString>("message"); // at the first start; then the device is chosen
    const QString missing = "Cannot open serial port COM1 (~/ttyUSB0): there is no such device. "
                            "Connect the cable or adapter, or choose another device under "
                            "Settings, RS232 Port Setup.";
    QTest::newRow("nothing kept yet") << QByteArray() << false << missing;
    // The library reads COM1 from this file, and says it cannot parse it.
    QTest::newRow("corrupt file") << QByteArray("[devices]\nCOM1=@\n[broken\n") << false << missing;
    QTest::newRow("kept device gone") << QByteArray("[devices]\nCOM1=~/gone\n") << false << missing;
    QTest::newRow("kept device") << QByteArray("[devices]\nCOM1=@\n") << false << "";
    // ~/other exists and is no serial device: were it opened, it would fail.
    QTest::newRow("the variable wins") << QByteArray("[devices]\nCOM1=~/other\n") << true << "";
}

void TestDeviceChoice::keptAcrossRestarts()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, variable);
    QFETCH(QString, message);
    QTemporaryDir folder;
    const QString line = folder.filePath("line");
    file.replace('~', QFile::encodeName(folder.path())).replace('@', QFile::encodeName(line));
    message.replace('~', folder.path());
    // The library keeps what it has read of a file for the whole process: a file for each row.
    const QString configFile = folder.filePath("zelvic.ini");
    QFile config(configFile);
    QVERIFY(file.isEmpty() || (config.open(QIODevice::WriteOnly) && config.write(file) > 0));
    config.close();
    QVERIFY(QFile(folder.filePath("other")).open(QIODevice::WriteOnly));
    QProcessEnvironment environment;
    if (variable)
        environment.insert("ZELVIC_COM1", line);
    const QFile server(folder.filePath("server.ini"));

    for (int start = 1; start <= 2; ++start) {
        LrzszReceiver receiver({ "rz", "-b", "-y" });
        QVERIFY(receiver.isReady());
        QFile::remove(line);
        QVERIFY(QFile::link(receiver.devicePath(), line));
        Rig rig(environment, folder.path(), configFile);
        rig.terminal.start();
        QCOMPARE(std::exchange(rig.boxes.shown, {}).join(" / "), start == 1 ? message : QString());
        // Read, and not written back, whatever it holds.
        QCOMPARE(fileContents(configFile), file);
        SaxComm& comm = rig.terminal.comm();
        if (start == 1 && !message.isEmpty()) {
            // As Apply in the RS232 dialog does, with the Device row typed; the second start
            // must find the choice in the file and open it by itself.
            QVERIFY(comm.chooseDevice("COM1", line).ok() && comm.setPortOpen(true).ok()
                && comm.keepDevice().ok());
            file = fileContents(configFile);
        }
        QVERIFY(comm.portOpen());
        QCOMPARE(comm.devicePath(), line);
        rig.terminal.mainWindow().setCurrentFileName(server.fileName());
        rig.terminal.mainWindow().writeButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(
            receiver.received("server.ini"), fileContents(server.fileName()), 30000);
    }
    // Made without a file, the store keeps its choices in the user's configuration folder.
    QVERIFY(PosixDeviceChoices().keep("COM2", line).ok());
    const QString configFolder = qEnvironmentVariable("XDG_CONFIG_HOME");
    QCOMPARE(PosixDeviceChoices(configFolder + "/zelvic/zelvic.ini").device("COM2"), line);
}

QTEST_MAIN(TestDeviceChoice)
#include "test_device_choice.moc"
