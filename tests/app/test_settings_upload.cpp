#include "app/settings_file_commands.h"
#include "app/settings_upload.h"
#include "fakes/fake_file_dialogs.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_working_directory.h"
#include "serial_link/sax_comm.h"
#include "testkit/lrzsz_receiver.h"
#include "windows/frm_main.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// In the paths below, "~" stands for a fresh temporary folder: the working folder, which holds a
// "server.ini" from before, as does "~/chosen".
class TestSettingsUpload : public QObject
{
    Q_OBJECT

private slots:
    void write_data();
    void write();
};

void TestSettingsUpload::write_data()
{
    QTest::addColumn<QString>("currentFile");
    QTest::addColumn<QString>("saveAs"); // the Save dialog's answer; empty: Cancel
    QTest::addColumn<QStringList>("messages"); // a part of each message shown, in order
    QTest::addColumn<QString>("sent"); // the file whose bytes arrive as server.ini; empty: none
    QTest::newRow("first Write: saved as another name beside an older server.ini")
        << ""
        << "~/chosen/other.ini" << QStringList() << "~/chosen/other.ini";
    QTest::newRow("current file written again") << "~/mine.ini"
                                                << "" << QStringList() << "~/mine.ini";
    QTest::newRow("Save cancelled: nothing goes") << ""
                                                  << "" << QStringList() << "";
    QTest::newRow("failed write: nothing goes")
        << "~/missing/mine.ini"
        << "" << QStringList { "", "Unable to write file" } << "";
}

void TestSettingsUpload::write()
{
    QFETCH(QString, currentFile);
    QFETCH(QString, saveAs);
    QFETCH(QStringList, messages);
    QFETCH(QString, sent);
    QTemporaryDir temporary;
    const auto path = [&](QString text) { return text.replace("~", temporary.path()); };
    QVERIFY(QDir(temporary.path()).mkdir("chosen"));

    LrzszReceiver peer({ "rz", "-b", "-y" });
    QVERIFY(peer.isReady());
    SaxComm comm(QProcessEnvironment {});
    QVERIFY(comm.setCommPort(peer.devicePath()).ok() && comm.setPortOpen(true).ok());
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    if (!saveAs.isEmpty())
        dialogs.answers.append(path(saveAs));
    FakeWorkingDirectory workingDirectory;
    workingDirectory.path = temporary.path();
    frmMain window(comm, boxes);
    window.setCurrentFileName(path(currentFile));
    SettingsFileCommands settingsFile(window, dialogs, boxes, workingDirectory);
    QVERIFY(settingsFile.WriteSettingsFile(path("~/server.ini")).ok());
    QVERIFY(settingsFile.WriteSettingsFile(path("~/chosen/server.ini")).ok());
    // What the boxes now hold differs from the older files.
    window.applySetting({ "txtHost", QString("mail.example.com") });
    SettingsUpload upload(window, settingsFile, comm, boxes);
    QSignalSpy finished(&comm, &SaxComm::transferFinished);

    QTest::mouseClick(window.writeButton(), Qt::LeftButton);

    QCOMPARE(boxes.shown.size(), messages.size());
    for (qsizetype i = 0; i < messages.size(); ++i)
        QVERIFY2(boxes.shown[i].contains(messages[i]), qPrintable(boxes.shown[i]));
    QCOMPARE(comm.transferRunning(), !sent.isEmpty());
    if (sent.isEmpty())
        return;
    QVERIFY(finished.wait(20000));
    QVERIFY2(finished.first().at(0).toBool(), qPrintable(finished.first().at(1).toString()));
    QVERIFY(peer.waitForExit(5000));
    QFile file(path(sent));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    QVERIFY(stored.contains("host=mail.example.com"));
    QCOMPARE(peer.received("server.ini"), stored);
}

QTEST_MAIN(TestSettingsUpload)
#include "test_settings_upload.moc"
