#include "fakes/fake_file_dialogs.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_working_directory.h"
#include "main_window/frm_main.h"
#include "platform/file_dialogs_qt.h"
#include "serial_link/sax_comm.h"
#include "settings_file/settings_file_commands.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every setting, in the order of the window.
const QStringList kControls { "chkDHCP", "txtIpAddress", "txtIpAddress2", "txtIpAddress3",
    "txtIpAddress4", "txtMacAddress", "txtMacAddress2", "txtMacAddress3", "txtMacAddress4",
    "txtMacAddress5", "txtMacAddress6", "txtSenderAddress", "txtReceiverAddress", "txtHost",
    "txtEmailServerAddress", "txtEmailServerAddress2", "txtEmailServerAddress3",
    "txtEmailServerAddress4", "chkFTP", "txtUserName", "txtPassword" };

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

// A row of text cells.
void row(const char* tag, std::initializer_list<const char*> cells)
{
    QTestData& data = QTest::newRow(tag);
    for (const char* cell : cells)
        data << QString(cell);
}

} // namespace

class TestSettingsFileCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void read_data();
    void read();
    void roundTripOfAFileFromTheOriginalPlatform();
    void writeFailures_data();
    void writeFailures();
    void writtenFilePermissions();
    void openAndSave_data();
    void openAndSave();
    void qtSaveDialog();

private:
    // "name=value|..." for each text that is not empty and each switch that is not on.
    QString fields() const;
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
    m_commands.reset();
    m_window.reset();
    m_boxes.shown.clear();
    m_dialogs = FakeFileDialogs();
    m_workingDirectory = FakeWorkingDirectory();
    m_dir = std::make_unique<QTemporaryDir>();
    m_comm = std::make_unique<SaxComm>(QProcessEnvironment());
    m_window = std::make_unique<frmMain>(*m_comm, m_boxes);
    m_commands
        = std::make_unique<SettingsFileCommands>(*m_window, m_dialogs, m_boxes, m_workingDirectory);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

QString TestSettingsFileCommands::fields() const
{
    QStringList set;
    for (const QString& name : kControls) {
        const QString value = name.startsWith("chk") ? QString::number(m_window->checkValue(name))
                                                     : m_window->text(name);
        if (!value.isEmpty() && value != (name.startsWith("chk") ? "1" : ""))
            set << name + "=" + value;
    }
    return set.join('|');
}

void TestSettingsFileCommands::read_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("readBack");
    QTest::addColumn<QString>("message"); // empty: read without failure
    const auto read = [](const char* tag, const QByteArray& file, const QString& readBack) {
        QTest::newRow(tag) << file << readBack << QString();
    };
    read("blank line ends reading", "[System]\r\nDHCP=0\r\n\r\nIP0=C0A8\r\n", "chkDHCP=0");
    read("comma cuts a value", "Password=ab,cd\r\nhost=h\r\n", "txtHost=h|txtPassword=ab");
    read("key within a value", "sender=host=x\r\n", "txtSenderAddress=host=x|txtHost=r=host=x");
    read("keys in another case", "dhcp=0\r\nip0=C0A8\r\nHost=x\r\n", "");
    read("short and odd hex slices, DHCP on", "IP0=C\rIP1=1GG1\rmaillp0= c\t0\rmaillp1=\r",
        "txtIpAddress=12|txtIpAddress2=0|txtIpAddress3=1|txtIpAddress4=0|"
        "txtEmailServerAddress=12|txtEmailServerAddress2=0|txtEmailServerAddress3=0|"
        "txtEmailServerAddress4=0");
    read("MAC letters through the entry rules", "MAC0=1a2B\r\nMAC1=a\r\nMAC2=a0fff\r\n",
        "txtMacAddress=1A|txtMacAddress2=2B|txtMacAddress3=A|txtMacAddress5=a0|"
        "txtMacAddress6=fF");
    QTest::newRow("empty file") << QByteArray() << QString() << "The settings file is empty.";
}

void TestSettingsFileCommands::read()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    QFile out(path("case.ini"));
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    m_window->findChild<QWidget*>("txtHost")->setFocus();
    QCOMPARE(m_commands->ReadSettingsFile(out.fileName()), message.isEmpty());
    QTEST(fields(), "readBack");
    QCOMPARE(m_boxes.shown, message.isEmpty() ? QStringList() : QStringList { message });
    QCOMPARE(QApplication::focusWidget()->objectName(), message.isEmpty() ? "chkDHCP" : "txtHost");
}

void TestSettingsFileCommands::roundTripOfAFileFromTheOriginalPlatform()
{
    // Opened and saved unchanged, then read back into a cleared window.
    const QString original = QFINDTESTDATA("../data/settings_file/original.ini");
    m_dialogs.answers << original << path("saved.ini");
    m_window->menuItem("ReadFile")->trigger();
    m_window->menuItem("WriteFile")->trigger();
    QCOMPARE(contentOf(path("saved.ini")), contentOf(original));
    const QString opened = fields();
    m_window->menuItem("mnuClearForm")->trigger();
    QVERIFY(m_commands->ReadSettingsFile(path("saved.ini")));
    QCOMPARE(fields(), opened);
    QCOMPARE(m_boxes.shown, QStringList());
}

void TestSettingsFileCommands::writeFailures_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("message");
    row("folder does not exist", { "missing", "No such file or directory" });
    row("read-only folder", { "readonly", "Permission denied" });
    row("disk full mid-write", { "limited", "File too large" });
}

void TestSettingsFileCommands::writeFailures()
{
    QFETCH(QString, folder);
    if (folder == "readonly" && geteuid() == 0)
        QSKIP("root writes into a read-only folder");
    const QString target = path(folder + "/server.ini");
    if (folder != "missing") {
        QDir(m_dir->path()).mkdir(folder);
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(4000, 'o')) == 4000);
    }
    const QByteArray old = contentOf(target);
    const QStringList before = QDir(path(folder)).entryList(QDir::AllEntries | QDir::Hidden);
    QFile(path(folder)).setPermissions(QFile::Permissions(folder == "readonly" ? 0x5500 : 0x7700));
    const auto writable
        = qScopeGuard([&] { QFile(path(folder)).setPermissions(QFile::Permissions(0x7700)); });
    // A file-size limit makes every write past its first bytes fail, as a full disk does.
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto unlimited = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &saved); });
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit { folder == "limited" ? 100 : saved.rlim_cur, saved.rlim_max };
    setrlimit(RLIMIT_FSIZE, &limit);

    QVERIFY(!m_commands->WriteSettingsFile(target));
    QTEST(m_boxes.shown.join('|'), "message");
    QCOMPARE(QDir(path(folder)).entryList(QDir::AllEntries | QDir::Hidden), before);
    QCOMPARE(contentOf(target), old);
}

void TestSettingsFileCommands::writtenFilePermissions()
{
    // A new file holds the password for its owner's eyes only; a replaced one keeps its own.
    ::umask(022);
    QVERIFY(m_commands->WriteSettingsFile(path("server.ini")));
    QCOMPARE(QFile::permissions(path("server.ini")), QFile::Permissions(0x6600)); // rw-------
    QVERIFY(QFile::setPermissions(path("server.ini"), QFile::Permissions(0x6640))); // rw-r-----
    QVERIFY(m_commands->WriteSettingsFile(path("server.ini")));
    QCOMPARE(QFile::permissions(path("server.ini")), QFile::Permissions(0x6640));
}

void TestSettingsFileCommands::openAndSave_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("answer"); // empty: Cancel
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("workingFolder"); // empty: unchanged
    row("cancel", { "ReadFile", "", "", "" });
    row("Open a name in a folder that cannot be entered",
        { "ReadFile", "missing/new.ini", "No such file or directory", "" });
    row("Open a folder", { "ReadFile", "sub", "file to open is a directory", "." });
    row("Save without extension elsewhere", { "WriteFile", "sub/config", "", "sub" });
}

void TestSettingsFileCommands::openAndSave()
{
    QFETCH(QString, command);
    QFETCH(QString, answer);
    QFETCH(QString, workingFolder);
    QDir(m_dir->path()).mkdir("sub");
    m_window->setCurrentFileName("/before/old.ini");
    m_workingDirectory.path = "/before";
    m_workingDirectory.refused << path("missing");
    if (!answer.isEmpty())
        m_dialogs.answers << path(answer);
    m_window->menuItem(command)->trigger();

    QCOMPARE(m_dialogs.shown.size(), 1);
    QCOMPARE(m_dialogs.shown[0].kind,
        command == "ReadFile" ? FakeFileDialogs::Kind::Open : FakeFileDialogs::Kind::Save);
    QTEST(m_boxes.shown.join('|'), "message");
    QCOMPARE(m_window->CurrentFileName(), answer.isEmpty() ? "/before/old.ini" : path(answer));
    QCOMPARE(m_workingDirectory.path,
        workingFolder.isEmpty() ? "/before" : QDir::cleanPath(path(workingFolder)));
    QCOMPARE(QFileInfo(path(answer)).isFile(), command == "WriteFile");
}

void TestSettingsFileCommands::qtSaveDialog()
{
    // The real dialog: the filter translated with the first type selected, the name proposed,
    // and an existing file replaced without a question.
    QFile(path("old.ini")).open(QIODevice::WriteOnly);
    QStringList shownFilters;
    QString proposed;
    QTimer::singleShot(0, this, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        for (int i = 0; i < types->count(); ++i)
            shownFilters << types->itemText(i) + (i == types->currentIndex() ? " *" : "");
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        proposed = name->text();
        name->setText(path("old.ini"));
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own accept() is protected
    });
    QtFileDialogs dialogs;
    const std::optional<QString> chosen
        = dialogs.showSave({ "Init files (*.ini)|*.ini|All files (*.*)|*.*|", "server.ini", 1 });
    QCOMPARE(shownFilters, (QStringList { "Init files (*.ini) *", "All files (*.*)" }));
    QCOMPARE(proposed, "server.ini");
    QCOMPARE(chosen.value_or("(cancelled)"), path("old.ini"));
}

QTEST_MAIN(TestSettingsFileCommands)
#include "test_settings_file_commands.moc"
