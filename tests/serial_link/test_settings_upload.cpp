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

// In the paths below, "~" stands for a fresh temporary folder. The working folder starts as
// "~/work", which holds a "server.ini" from before.
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
    QTest::addColumn<QString>("saveAnswer"); // empty: the Save dialog is cancelled
    QTest::addColumn<QString>("workingFolder");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QString>("written"); // empty: no file is written
    QTest::addColumn<QStringList>("messages"); // a part of each message shown, in order
    QTest::addColumn<QString>("sent"); // empty: nothing is sent

    const auto row = [](const char* tag, const char* currentFile, const char* saveAnswer,
                         const char* workingFolder, bool portOpen, const char* written,
                         const QStringList& messages, const char* sent) {
        QTest::newRow(tag) << QString(currentFile) << QString(saveAnswer) << QString(workingFolder)
                           << portOpen << QString(written) << messages << QString(sent);
    };
    row("first Write: Save, then the chosen folder's server.ini", "", "~/chosen/server.ini",
        "~/work", true, "~/chosen/server.ini", {}, "~/chosen/server.ini");
    row("Save cancelled: the working folder's server.ini all the same", "", "", "~/work", true, "",
        {}, "~/work/server.ini");
    row("another file is written, server.ini is sent", "~/mine.ini", "", "~/work", true,
        "~/mine.ini", {}, "~/work/server.ini");
    row("failed write, then the server.ini from before", "~/missing/mine.ini", "", "~/work", true,
        "", { "", "Unable to write file" }, "~/work/server.ini");
    row("port closed: written, not sent", "~/mine.ini", "", "~/work", false, "~/mine.ini",
        { "Serial port is closed" }, "");
    row("working folder at the root: two separators, passed on", "~/mine.ini", "", "/", true,
        "~/mine.ini", { "\"//server.ini\", does not exist" }, "//server.ini");
}

void TestSettingsUpload::write()
{
    QFETCH(QString, currentFile);
    QFETCH(QString, saveAnswer);
    QFETCH(QString, workingFolder);
    QFETCH(bool, portOpen);
    QFETCH(QString, written);
    QFETCH(QStringList, messages);
    QFETCH(QString, sent);
    QTemporaryDir temporary;
    const auto path = [&](QString text) { return text.replace("~", temporary.path()); };
    QVERIFY(QDir(temporary.path()).mkpath("work") && QDir(temporary.path()).mkpath("chosen"));
    QFile old(path("~/work/server.ini"));
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("[System]\r\nDHCP=1\r\n") > 0);
    old.close();
    QVERIFY(!QFile::exists("/server.ini"));

    PtyPair pty;
    QVERIFY(pty.isReady());
    QProcessEnvironment environment;
    environment.insert("ZELVIC_COM1", pty.endA());
    SaxComm comm(environment);
    QCOMPARE(comm.setPortOpen(portOpen), Failure {});
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    if (!saveAnswer.isEmpty())
        dialogs.answers.append(path(saveAnswer));
    FakeWorkingDirectory workingDirectory;
    workingDirectory.path = path(workingFolder);
    frmMain window(comm, boxes);
    window.setCurrentFileName(path(currentFile));
    SettingsFileCommands settingsFile(window, dialogs, boxes, workingDirectory);
    SettingsUpload upload(window, settingsFile, comm, workingDirectory, boxes);

    QTest::mouseClick(window.writeButton(), Qt::LeftButton);

    QCOMPARE(dialogs.shown.size(), currentFile.isEmpty() ? 1 : 0);
    if (!written.isEmpty())
        QVERIFY2(QFile::exists(path(written)), qPrintable(path(written)));
    QCOMPARE(boxes.shown.size(), messages.size());
    for (qsizetype i = 0; i < messages.size(); ++i)
        QVERIFY2(boxes.shown[i].contains(messages[i]), qPrintable(boxes.shown[i]));
    QCOMPARE(comm.fileToSend(), path(sent));
    QCOMPARE(comm.transferRunning(), !sent.isEmpty() && QFile::exists(path(sent)));
}

QTEST_MAIN(TestSettingsUpload)
#include "test_settings_upload.moc"
