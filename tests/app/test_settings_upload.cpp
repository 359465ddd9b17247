#include "app/settings_file_commands.h"
#include "app/settings_upload.h"
#include "fakes/fake_file_dialogs.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_working_directory.h"
#include "serial_link/sax_comm.h"
#include "support/pty_pair.h"
#include "windows/frm_main.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// In the paths below, "~" stands for a fresh temporary folder: the working folder, which holds a
// "server.ini" from before. The Save dialog, when shown, chooses "~/chosen/server.ini".
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
    QTest::addColumn<QStringList>("messages"); // a part of each message shown, in order
    QTest::addColumn<QString>("sent");
    QTest::newRow("first Write: Save, then the chosen folder's server.ini")
        << "" << QStringList() << "~/chosen/server.ini";
    QTest::newRow("failed write, then the server.ini from before")
        << "~/missing/mine.ini" << QStringList { "", "Unable to write file" } << "~/server.ini";
}

void TestSettingsUpload::write()
{
    QFETCH(QString, currentFile);
    QFETCH(QStringList, messages);
    QFETCH(QString, sent);
    QTemporaryDir temporary;
    const auto path = [&](QString text) { return text.replace("~", temporary.path()); };
    QVERIFY(QDir(temporary.path()).mkdir("chosen"));

    PtyPair pty;
    SaxComm comm(QProcessEnvironment {});
    QVERIFY(comm.setCommPort(pty.endA()).ok() && comm.setPortOpen(true).ok());
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    dialogs.answers.append(path("~/chosen/server.ini"));
    FakeWorkingDirectory workingDirectory;
    workingDirectory.path = temporary.path();
    frmMain window(comm, boxes);
    window.setCurrentFileName(path(currentFile));
    SettingsFileCommands settingsFile(window, dialogs, boxes, workingDirectory);
    QVERIFY(settingsFile.WriteSettingsFile(path("~/server.ini")));
    SettingsUpload upload(window, settingsFile, comm, workingDirectory, boxes);

    QTest::mouseClick(window.writeButton(), Qt::LeftButton);

    // The file now current was written unless a message says otherwise.
    QCOMPARE(QFile::exists(window.CurrentFileName()), messages.isEmpty());
    QCOMPARE(boxes.shown.size(), messages.size());
    for (qsizetype i = 0; i < messages.size(); ++i)
        QVERIFY2(boxes.shown[i].contains(messages[i]), qPrintable(boxes.shown[i]));
    QCOMPARE(comm.fileToSend(), path(sent));
    QVERIFY(comm.transferRunning());
}

QTEST_MAIN(TestSettingsUpload)
#include "test_settings_upload.moc"
