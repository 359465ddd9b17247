#include "app/settings_file_commands.h"
#include "app/settings_upload.h"
#include "fakes/fake_file_dialogs.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_working_directory.h"
#include "serial_link/sax_comm.h"
#include "testkit/file_contents.h"
#include "testkit/lrzsz_receiver.h"
#include "windows/file_dialogs_qt.h"
#include "windows/frm_main.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// A fresh rig for each test: the main window over a closed port, its file commands, the fakes.
struct Rig
{
    // "~" in a path stands for the rig's folder.
    QString at(QString path) const { return path.replace("~", dir.path()); }

    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    FakeWorkingDirectory workingDirectory;
    QTemporaryDir dir;
    SaxComm comm { QProcessEnvironment() };
    frmMain window { comm, boxes };
    SettingsFileCommands commands { window, dialogs, boxes, workingDirectory };
};

} // namespace

// In Write's paths below, "~" stands for the rig's folder: the working folder, which holds a
// "server.ini" from before, as does "~/chosen".

class TestSettingsFileCommands : public QObject
{
    Q_OBJECT

private slots:
    void openedAndSaved_data();
    void openedAndSaved();
    void failuresLeaveWhatWasThere();
    void qtSaveDialog();
    void write_data();
    void write();
};

void TestSettingsFileCommands::openedAndSaved_data()
{
    // A file opened through the menu and saved again through the menu: every value read ran
    // through the entry rules.
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("saved");
    QTest::newRow("from the original platform")
        << QString("original.ini") << QString("original.ini");
    QTest::newRow("odd lines, keys and values") << QString("odd.ini") << QString("odd.saved.ini");
    QTest::newRow("binary bytes") << QString("binary.ini") << QString("binary.saved.ini");
}

void TestSettingsFileCommands::openedAndSaved()
{
    Rig rig;
    QFETCH(QString, opened);
    QFETCH(QString, saved);
    const QString target = rig.at("~/saved.ini");
    rig.dialogs.answers << QFINDTESTDATA("../data/settings_file/" + opened) << target;
    rig.window.menu().ReadFile->trigger();
    ::umask(022);
    rig.window.menu().WriteFile->trigger();
    QCOMPARE(fileContents(target), fileContents(QFINDTESTDATA("../data/settings_file/" + saved)));
    // The folder of the file saved is the one the upload sends from.
    QCOMPARE(rig.workingDirectory.path, QDir(rig.dir.path()).absolutePath());
    // A new file holds the password for its owner's eyes only.
    QCOMPARE(QFile::permissions(target), QFile::Permissions(0x6600)); // rw-------
}

void TestSettingsFileCommands::failuresLeaveWhatWasThere()
{
    Rig rig;
    // Open in a folder that cannot be entered: the working folder stays where it was and the
    // command goes on to the reader's failure.
    rig.workingDirectory.path = "/before";
    rig.workingDirectory.refused << rig.at("~/missing");
    rig.dialogs.answers << rig.at("~/missing/new.ini");
    rig.window.menu().ReadFile->trigger();
    QCOMPARE(rig.window.CurrentFileName(), rig.at("~/missing/new.ini"));
    QCOMPARE(rig.workingDirectory.path, "/before");

    // A failed write leaves the old file as it was, and nothing beside it.
    const QString target = rig.at("~/server.ini");
    QVERIFY(rig.commands.WriteSettingsFile(target).ok());
    const QByteArray old = fileContents(target);
    // A file-size limit makes every write past its first bytes fail, as a full disk does.
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto unlimited = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &saved); });
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit { 100, saved.rlim_max };
    setrlimit(RLIMIT_FSIZE, &limit);

    QVERIFY(!rig.commands.WriteSettingsFile(target).ok());
    QCOMPARE(rig.boxes.shown, (QStringList { "No such file or directory", "File too large" }));
    QCOMPARE(
        QDir(rig.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "server.ini" });
    QCOMPARE(fileContents(target), old);
}

void TestSettingsFileCommands::qtSaveDialog()
{
    // The real dialog: the filter translated with the first type selected, the name proposed,
    // and an existing file replaced without a question.
    const QTemporaryDir dir;
    const QString old = dir.filePath("old.ini");
    QFile(old).open(QIODevice::WriteOnly);
    QStringList shown; // the file types, the selected one marked, then the name proposed
    QTimer::singleShot(0, this, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        for (int i = 0; i < types->count(); ++i)
            shown << types->itemText(i) + (i == types->currentIndex() ? " *" : "");
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        shown << name->text();
        name->setText(old);
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own accept() is protected
    });
    const std::optional<QString> chosen = QtFileDialogs().showSave(
        { "Init files (*.ini)|*.ini|All files (*.*)|*.*|", "server.ini", 1 });
    QCOMPARE(shown, (QStringList { "Init files (*.ini) *", "All files (*.*)", "server.ini" }));
    QCOMPARE(chosen.value_or("(cancelled)"), old);
}

void TestSettingsFileCommands::write_data()
{
    QTest::addColumn<QString>("currentFile");
    QTest::addColumn<QString>("saveAs"); // the Save dialog's answer; empty: Cancel
    QTest::addColumn<QStringList>("messages"); // a part of each message shown, in order
    QTest::addColumn<QString>("sent"); // the file whose bytes arrive as server.ini; empty: none
    const auto add = [](const char* tag, const char* current, const char* saveAs,
                         const QStringList& messages, const char* sent) {
        QTest::newRow(tag) << QString(current) << QString(saveAs) << messages << QString(sent);
    };
    add("first Write: saved as another name beside an older server.ini", "", "~/chosen/other.ini",
        {}, "~/chosen/other.ini");
    add("current file written again", "~/mine.ini", "", {}, "~/mine.ini");
    add("Save cancelled: nothing goes", "", "", {}, "");
    add("failed write: nothing goes", "~/missing/mine.ini", "", { "", "Unable to write file" }, "");
}

void TestSettingsFileCommands::write()
{
    Rig rig;
    QFETCH(QString, currentFile);
    QFETCH(QString, saveAs);
    QFETCH(QStringList, messages);
    QFETCH(QString, sent);
    QVERIFY(QDir(rig.dir.path()).mkdir("chosen"));

    LrzszReceiver peer({ "rz", "-b", "-y" });
    QVERIFY(peer.isReady());
    QVERIFY(rig.comm.setCommPort(peer.devicePath()).ok() && rig.comm.setPortOpen(true).ok());
    if (!saveAs.isEmpty())
        rig.dialogs.answers.append(rig.at(saveAs));
    rig.workingDirectory.path = rig.dir.path();
    rig.window.setCurrentFileName(rig.at(currentFile));
    QVERIFY(rig.commands.WriteSettingsFile(rig.at("~/server.ini")).ok());
    QVERIFY(rig.commands.WriteSettingsFile(rig.at("~/chosen/server.ini")).ok());
    // What the boxes now hold differs from the older files.
    rig.window.applySetting({ "txtHost", QString("mail.example.com") });
    SettingsUpload upload(rig.window, rig.commands, rig.comm, rig.boxes);
    QSignalSpy finished(&rig.comm, &SaxComm::transferFinished);

    QTest::mouseClick(rig.window.writeButton(), Qt::LeftButton);

    QCOMPARE(rig.boxes.shown.size(), messages.size());
    for (qsizetype i = 0; i < messages.size(); ++i)
        QVERIFY2(rig.boxes.shown[i].contains(messages[i]), qPrintable(rig.boxes.shown[i]));
    QCOMPARE(rig.comm.transferRunning(), !sent.isEmpty());
    if (sent.isEmpty())
        return;
    QVERIFY(finished.wait(20000));
    QVERIFY2(finished.first().at(0).toBool(), qPrintable(finished.first().at(1).toString()));
    QVERIFY(peer.waitForExit(5000));
    const QByteArray stored = fileContents(rig.at(sent));
    QVERIFY(stored.contains("host=mail.example.com"));
    QCOMPARE(peer.received("server.ini"), stored);
}

QTEST_MAIN(TestSettingsFileCommands)
#include "test_settings_file_commands.moc"
