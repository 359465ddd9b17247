#include "fakes/fake_file_dialogs.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_working_directory.h"
#include "fakes/pty_pair.h"
#include "main_window/frm_main.h"
#include "serial_link/sax_comm.h"
#include "serial_link/settings_upload.h"
#include "settings_file/settings_file_commands.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// In the paths below, "~" stands for a fresh temporary folder: the working folder, which holds a
// "server.ini" from before.
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
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QString>("saveAnswer"); // empty: the Save dialog is cancelled
    QTest::addColumn<bool>("atRoot"); // the working folder is the root folder
    QTest::addColumn<bool>("written"); // the file now current exists
    QTest::addColumn<QStringList>("messages"); // a part of each message shown, in order
    QTest::addColumn<QString>("sent"); // empty: nothing is sent

    QTest::newRow("first Write: Save, then the chosen folder's server.ini")
        << "" << true << "~/chosen/server.ini" << false << true << QStringList()
        << "~/chosen/server.ini";
    QTest::newRow("Save cancelled: the working folder's server.ini all the same")
        << "" << true << "" << false << false << QStringList() << "~/server.ini";
    QTest::newRow("failed write, then the server.ini from before")
        << "~/missing/mine.ini" << true << "" << false << false
        << QStringList { "", "Unable to write file" } << "~/server.ini";
    QTest::newRow("port closed: written, not sent")
        << "~/mine.ini" << false << "" << false << true << QStringList { "Serial port is closed" }
        << "";
    QTest::newRow("working folder at the root: two separators, passed on")
        << "~/mine.ini" << true << "" << true << true
        << QStringList { "\"//server.ini\", does not exist" } << "//server.ini";
}

void TestSettingsUpload::write()
{
    QFETCH(QString, currentFile);
    QFETCH(QString, saveAnswer);
    QFETCH(QStringList, messages);
    QFETCH(QString, sent);
    QTemporaryDir temporary;
    const auto path = [&](QString text) { return text.replace("~", temporary.path()); };
    QVERIFY(QDir(temporary.path()).mkdir("chosen"));
    QFile old(path("~/server.ini"));
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("[System]\r\nDHCP=1\r\n") > 0);
    old.close();
    QVERIFY(!QFile::exists("/server.ini"));

    PtyPair pty;
    QProcessEnvironment environment;
    environment.insert("ZELVIC_COM1", pty.endA());
    SaxComm comm(environment);
    QFETCH(bool, portOpen);
    QCOMPARE(comm.setPortOpen(portOpen), Failure {});
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    if (!saveAnswer.isEmpty())
        dialogs.answers.append(path(saveAnswer));
    FakeWorkingDirectory workingDirectory;
    QFETCH(bool, atRoot);
    workingDirectory.path = atRoot ? "/" : temporary.path();
    frmMain window(comm, boxes);
    window.setCurrentFileName(path(currentFile));
    SettingsFileCommands settingsFile(window, dialogs, boxes, workingDirectory);
    SettingsUpload upload(window, settingsFile, comm, workingDirectory, boxes);

    QTest::mouseClick(window.writeButton(), Qt::LeftButton);

    QTEST(QFile::exists(window.CurrentFileName()), "written");
    QCOMPARE(boxes.shown.size(), messages.size());
    for (qsizetype i = 0; i < messages.size(); ++i)
        QVERIFY2(boxes.shown[i].contains(messages[i]), qPrintable(boxes.shown[i]));
    QCOMPARE(comm.fileToSend(), path(sent));
    QCOMPARE(comm.transferRunning(), !sent.isEmpty() && QFile::exists(path(sent)));
}

QTEST_MAIN(TestSettingsUpload)
#include "test_settings_upload.moc"
