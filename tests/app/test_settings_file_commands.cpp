#include "app/settings_file_commands.h"
#include "app/settings_upload.h"
#include "fakes/fake_file_dialogs.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_working_directory.h"
#include "serial_link/sax_comm.h"
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
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

} // namespace

// In Write's paths below, "~" stands for a fresh temporary folder: the working folder, which holds
// a "server.ini" from before, as does "~/chosen".

class TestSettingsFileCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_commands.reset(), m_window.reset(), m_comm.reset(); }
    void openedAndSaved_data();
    void openedAndSaved();
    void failuresLeaveWhatWasThere();
    void qtSaveDialog();
    void write_data();
    void write();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }

    FakeMessageBoxes m_boxes;
    FakeFileDialogs m_dialogs;
    FakeWorkingDirectory m_workingDirectory;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SaxComm> m_comm;
    std::unique_ptr<frmMain> m_window;
    std::unique_ptr<SettingsFileCommands> m_commands;
};

void TestSettingsFileCommands::init()
{
    m_boxes.shown.clear();
    m_dialogs = FakeFileDialogs();
    m_dir = std::make_unique<QTemporaryDir>();
    m_comm = std::make_unique<SaxComm>(QProcessEnvironment());
    m_window = std::make_unique<frmMain>(*m_comm, m_boxes);
    m_commands
        = std::make_unique<SettingsFileCommands>(*m_window, m_dialogs, m_boxes, m_workingDirectory);
}

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
    QFETCH(QString, opened);
    QFETCH(QString, saved);
    m_dialogs.answers << QFINDTESTDATA("../data/settings_file/" + opened) << path("saved.ini");
    m_window->menu().ReadFile->trigger();
    ::umask(022);
    m_window->menu().WriteFile->trigger();
    QCOMPARE(
        contentOf(path("saved.ini")), contentOf(QFINDTESTDATA("../data/settings_file/" + saved)));
    // The folder of the file saved is the one the upload sends from.
    QCOMPARE(m_workingDirectory.path, QDir(m_dir->path()).absolutePath());
    // A new file holds the password for its owner's eyes only.
    QCOMPARE(QFile::permissions(path("saved.ini")), QFile::Permissions(0x6600)); // rw-------
}

void TestSettingsFileCommands::failuresLeaveWhatWasThere()
{
    // Open in a folder that cannot be entered: the working folder stays where it was and the
    // command goes on to the reader's failure.
    m_workingDirectory.path = "/before";
    m_workingDirectory.refused << path("missing");
    m_dialogs.answers << path("missing/new.ini");
    m_window->menu().ReadFile->trigger();
    QCOMPARE(m_window->CurrentFileName(), path("missing/new.ini"));
    QCOMPARE(m_workingDirectory.path, "/before");

    // A failed write leaves the old file as it was, and nothing beside it.
    const QString target = path("server.ini");
    QVERIFY(m_commands->WriteSettingsFile(target).ok());
    const QByteArray old = contentOf(target);
    // A file-size limit makes every write past its first bytes fail, as a full disk does.
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto unlimited = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &saved); });
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit { 100, saved.rlim_max };
    setrlimit(RLIMIT_FSIZE, &limit);

    QVERIFY(!m_commands->WriteSettingsFile(target).ok());
    QCOMPARE(m_boxes.shown, (QStringList { "No such file or directory", "File too large" }));
    QCOMPARE(
        QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { "server.ini" });
    QCOMPARE(contentOf(target), old);
}

void TestSettingsFileCommands::qtSaveDialog()
{
    // The real dialog: the filter translated with the first type selected, the name proposed,
    // and an existing file replaced without a question.
    QFile(path("old.ini")).open(QIODevice::WriteOnly);
    QStringList shown; // the file types, the selected one marked, then the name proposed
    QTimer::singleShot(0, this, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        for (int i = 0; i < types->count(); ++i)
            shown << types->itemText(i) + (i == types->currentIndex() ? " *" : "");
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        shown << name->text();
        name->setText(path("old.ini"));
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own accept() is protected
    });
    QtFileDialogs dialogs;
    const std::optional<QString> chosen
        = dialogs.showSave({ "Init files (*.ini)|*.ini|All files (*.*)|*.*|", "server.ini", 1 });
    QCOMPARE(shown, (QStringList { "Init files (*.ini) *", "All files (*.*)", "server.ini" }));
    QCOMPARE(chosen.value_or("(cancelled)"), path("old.ini"));
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
    QFETCH(QString, currentFile);
    QFETCH(QString, saveAs);
    QFETCH(QStringList, messages);
    QFETCH(QString, sent);
    const auto at = [&](QString text) { return text.replace("~", m_dir->path()); };
    QVERIFY(QDir(m_dir->path()).mkdir("chosen"));

    LrzszReceiver peer({ "rz", "-b", "-y" });
    QVERIFY(peer.isReady());
    QVERIFY(m_comm->setCommPort(peer.devicePath()).ok() && m_comm->setPortOpen(true).ok());
    if (!saveAs.isEmpty())
        m_dialogs.answers.append(at(saveAs));
    m_workingDirectory.path = m_dir->path();
    m_window->setCurrentFileName(at(currentFile));
    QVERIFY(m_commands->WriteSettingsFile(at("~/server.ini")).ok());
    QVERIFY(m_commands->WriteSettingsFile(at("~/chosen/server.ini")).ok());
    // What the boxes now hold differs from the older files.
    m_window->applySetting({ "txtHost", QString("mail.example.com") });
    SettingsUpload upload(*m_window, *m_commands, *m_comm, m_boxes);
    QSignalSpy finished(m_comm.get(), &SaxComm::transferFinished);

    QTest::mouseClick(m_window->writeButton(), Qt::LeftButton);

    QCOMPARE(m_boxes.shown.size(), messages.size());
    for (qsizetype i = 0; i < messages.size(); ++i)
        QVERIFY2(m_boxes.shown[i].contains(messages[i]), qPrintable(m_boxes.shown[i]));
    QCOMPARE(m_comm->transferRunning(), !sent.isEmpty());
    if (sent.isEmpty())
        return;
    QVERIFY(finished.wait(20000));
    QVERIFY2(finished.first().at(0).toBool(), qPrintable(finished.first().at(1).toString()));
    QVERIFY(peer.waitForExit(5000));
    const QByteArray stored = contentOf(at(sent));
    QVERIFY(stored.contains("host=mail.example.com"));
    QCOMPARE(peer.received("server.ini"), stored);
}

QTEST_MAIN(TestSettingsFileCommands)
#include "test_settings_file_commands.moc"
