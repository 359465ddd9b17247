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

QString focusName()
{
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}

// Text cells go into QString columns; other values as they are.
template <typename T> auto cell(const T& value)
{
    if constexpr (std::is_convertible_v<const T&, const char*>)
        return QString(value);
    else
        return value;
}

template <typename... Columns> void row(const char* tag, const Columns&... columns)
{
    (QTest::newRow(tag) << ... << cell(columns));
}

} // namespace

class TestSettingsFileCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void roundTrip_data();
    void roundTrip();
    void read_data();
    void read();
    void writeFailures_data();
    void writeFailures();
    void writtenFilePermissions();
    void openAndSave_data();
    void openAndSave();
    void openThenSaveFixtures_data();
    void openThenSaveFixtures();
    void qtFileDialogs_data();
    void qtFileDialogs();

private:
    // "name=value|..." for each text that is not empty and each switch that is not on.
    QString fields() const;
    QString path(const QString& name) const { return m_dir->filePath(name); }
    void focusOnHost() { m_window->findChild<QWidget*>("txtHost")->setFocus(); }

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
    m_dir = std::make_unique<QTemporaryDir>();
    m_comm = std::make_unique<SaxComm>(QProcessEnvironment());
    m_window = std::make_unique<frmMain>(*m_comm, m_boxes);
    m_commands
        = std::make_unique<SettingsFileCommands>(*m_window, m_dialogs, m_boxes, m_workingDirectory);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestSettingsFileCommands::cleanup()
{
    m_commands.reset();
    m_window.reset();
    m_comm.reset();
    m_dir.reset();
    m_boxes.shown.clear();
    m_dialogs = FakeFileDialogs();
    m_workingDirectory = FakeWorkingDirectory();
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

void TestSettingsFileCommands::roundTrip_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("readBack");
    const QString example = "chkDHCP=0|txtIpAddress=192|txtIpAddress2=168|txtIpAddress3=1|"
                            "txtIpAddress4=20|txtMacAddress=02|txtMacAddress2=1A|txtMacAddress3=2B|"
                            "txtMacAddress4=3C|txtMacAddress5=4D|txtMacAddress6=5E|"
                            "txtSenderAddress=monitor|txtReceiverAddress=operator|txtHost=relay |"
                            "txtEmailServerAddress=10|txtEmailServerAddress2=0|"
                            "txtEmailServerAddress3=0|txtEmailServerAddress4=254|"
                            "txtUserName=service|txtPassword=s3=cr \"é€\"";
    row("every field", example, example);
    row("octets as numbers, FTP off",
        "chkDHCP=0|txtIpAddress=007|txtIpAddress3=1|txtMacAddress=A|chkFTP=0|txtUserName=u",
        "chkDHCP=0|txtIpAddress=7|txtIpAddress2=0|txtIpAddress3=1|txtIpAddress4=0|"
        "txtMacAddress=A|txtEmailServerAddress=0|txtEmailServerAddress2=0|"
        "txtEmailServerAddress3=0|txtEmailServerAddress4=0|chkFTP=0");
}

void TestSettingsFileCommands::roundTrip()
{
    QFETCH(QString, typed);
    QFETCH(QString, readBack);
    for (const QString& assignment : typed.split('|')) {
        const QString name = assignment.section('=', 0, 0);
        const QString value = assignment.section('=', 1);
        if (name.startsWith("chk"))
            m_window->setCheckValue(name, value.toInt());
        else
            m_window->setText(name, value);
    }
    QVERIFY(m_commands->WriteSettingsFile(path("server.ini")));
    m_window->menuItem("mnuClearForm")->trigger();
    focusOnHost();
    QVERIFY(m_commands->ReadSettingsFile(path("server.ini")));
    QCOMPARE(fields(), readBack);
    QCOMPARE(m_boxes.shown, QStringList());
    QCOMPARE(focusName(), "chkDHCP");
}

void TestSettingsFileCommands::read_data()
{
    QTest::addColumn<QString>("name"); // missing.ini, folder, locked.ini, or case.ini: the file
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("readBack");
    QTest::addColumn<QString>("message"); // empty: read without failure
    const auto read = [](const char* tag, const QByteArray& file, const QString& readBack) {
        QTest::newRow(tag) << "case.ini" << file << readBack << QString();
    };
    const auto fails = [](const char* tag, const QString& name, const QString& message) {
        QTest::newRow(tag) << name << QByteArray() << QString() << message;
    };
    read("blank line ends reading", "[System]\r\nDHCP=0\r\n\r\nIP0=C0A8\r\n", "chkDHCP=0");
    read("leading blanks skipped, the rest kept", "\r\n   \r\n\n   sender=  a \"b\"  \r\n",
        "txtSenderAddress=  a \"b\"  ");
    read("comma cuts a value", "Password=ab,cd\r\nhost=h\r\n", "txtHost=h|txtPassword=ab");
    read("comma before a line end ends reading", "host=relay,\r\nsender=s\r\n", "txtHost=relay");
    read("key within a value", "sender=host=x\r\n", "txtSenderAddress=host=x|txtHost=r=host=x");
    read("key found mid-item", "DHCP=0\nxIP0=C0A8\n", "chkDHCP=0|txtIpAddress=0|txtIpAddress2=10");
    read("keys in another case", "dhcp=0\r\nip0=C0A8\r\nHost=x\r\n", "");
    read("short and odd hex slices", "DHCP=0\rIP0=C\rIP1=1GG1\rmaillp0= c\t0\rmaillp1=\r",
        "chkDHCP=0|txtIpAddress=12|txtIpAddress2=0|txtIpAddress3=1|txtIpAddress4=0|"
        "txtEmailServerAddress=12|txtEmailServerAddress2=0|txtEmailServerAddress3=0|"
        "txtEmailServerAddress4=0");
    read("MAC letters through the entry rules", "MAC0=1a2B\r\nMAC1=a\r\nMAC2=a0fff\r\n",
        "txtMacAddress=1A|txtMacAddress2=2B|txtMacAddress3=A|txtMacAddress5=a0|"
        "txtMacAddress6=fF");
    read("later item wins", "host=a,host=b,FTP=0,FTP=1\r\n", "txtHost=b");
    read("address while DHCP on", "IP0=C0A8\r\nIP1=0114\r\n",
        "txtIpAddress=192|txtIpAddress2=168|txtIpAddress3=1|txtIpAddress4=20");
    read("Windows-1252", "sender=\xE9\x80\x81\r\n", "txtSenderAddress=é€" + QString(QChar(0x81)));
    read("NUL and binary bytes", QByteArray("host=a") + '\0' + "b\r\n\x01\xFF\r\n,\r\nFTP=0",
        "txtHost=a" + QString(QChar(0)) + "b");
    read("line of several MB", "Password=" + QByteArray(5 * 1024 * 1024, 'p') + "\r\nhost=h",
        "txtHost=h|txtPassword=" + QString(32767, 'p'));
    read("only blank lines", "\r\n\r\n", "");
    fails("empty file", "case.ini", "The settings file is empty.");
    fails("no such file", "missing.ini", "No such file or directory");
    fails("a folder", "folder", "file to open is a directory");
    fails("unreadable", "locked.ini", "Permission denied");
}

void TestSettingsFileCommands::read()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    if (name == "locked.ini" && geteuid() == 0)
        QSKIP("root reads a file whatever its permissions");
    QFile out(path(name));
    if (name == "folder")
        QVERIFY(QDir(m_dir->path()).mkdir(name));
    else if (name != "missing.ini")
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    if (name == "locked.ini")
        out.setPermissions({});
    focusOnHost();
    QCOMPARE(m_commands->ReadSettingsFile(out.fileName()), message.isEmpty());
    QTEST(fields(), "readBack");
    QCOMPARE(m_boxes.shown, message.isEmpty() ? QStringList() : QStringList { message });
    QCOMPARE(focusName(), message.isEmpty() ? "chkDHCP" : "txtHost");
}

void TestSettingsFileCommands::writeFailures_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("message");
    row("folder does not exist", "missing/server.ini", "No such file or directory");
    row("read-only folder", "readonly/server.ini", "Permission denied");
    row("disk full mid-write", "limited/server.ini", "File too large");
    row("a folder in the way", "limited", "Filename refers to a directory");
}

void TestSettingsFileCommands::writeFailures()
{
    QFETCH(QString, target);
    QFETCH(QString, message);
    const bool readOnly = target.startsWith("readonly");
    if (readOnly && geteuid() == 0)
        QSKIP("root writes into a read-only folder");
    const QByteArray old(4000, 'o');
    for (const char* folder : { "readonly", "limited" }) {
        QDir(m_dir->path()).mkdir(folder);
        QFile file(path(folder) + "/server.ini");
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
    }
    const QString folder = QFileInfo(path(target)).absolutePath();
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden);
    if (readOnly)
        QFile(folder).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const auto writable
        = qScopeGuard([&] { QFile(path("readonly")).setPermissions(QFile::Permissions(0x7700)); });

    // A file-size limit makes every write past its first bytes fail, as a full disk does.
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto unlimited = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &saved); });
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    if (target.startsWith("limited/"))
        limit.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &limit);

    QVERIFY(!m_commands->WriteSettingsFile(path(target)));
    setrlimit(RLIMIT_FSIZE, &saved);
    QCOMPARE(m_boxes.shown, QStringList { message });
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden), before);
    QCOMPARE(contentOf(path("readonly/server.ini")), old);
    QCOMPARE(contentOf(path("limited/server.ini")), old);
}

void TestSettingsFileCommands::writtenFilePermissions()
{
    ::umask(022);
    QVERIFY(m_commands->WriteSettingsFile(path("new.ini")));
    QFile existing(path("old.ini"));
    QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write(QByteArray(4000, 'o')) > 0);
    existing.close();
    ::chmod(qPrintable(existing.fileName()), 0640);
    QVERIFY(m_commands->WriteSettingsFile(existing.fileName()));
    struct stat info
    {
    };
    QCOMPARE(::stat(qPrintable(path("new.ini")), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);
    QCOMPARE(::stat(qPrintable(existing.fileName()), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0640u);
    QCOMPARE(contentOf(existing.fileName()), contentOf(path("new.ini")));
    QVERIFY(contentOf(path("new.ini")).startsWith("[System]\r\nDHCP=1\r\nMAC0=\r\n"));
}

void TestSettingsFileCommands::openAndSave_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("answer"); // empty: Cancel
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("workingFolder"); // empty: unchanged
    const QString missing = "No such file or directory";
    row("cancel Open", "ReadFile", "", "", "");
    row("cancel Save", "WriteFile", "", "", "");
    row("Open a name that does not exist", "ReadFile", "new.ini", missing, ".");
    row("Save without extension elsewhere", "WriteFile", "sub/config", "", "sub");
    row("Save where no file can be made", "WriteFile", "missing/server.ini", missing, "");
}

void TestSettingsFileCommands::openAndSave()
{
    QFETCH(QString, command);
    QFETCH(QString, answer);
    QFETCH(QString, message);
    QFETCH(QString, workingFolder);
    QDir(m_dir->path()).mkdir("sub");
    m_window->setCurrentFileName("/before/old.ini");
    m_workingDirectory.path = "/before";
    m_workingDirectory.refused << path("missing");
    if (!answer.isEmpty())
        m_dialogs.answers << path(answer);
    m_window->menuItem(command)->trigger();

    QCOMPARE(m_dialogs.shown.size(), 1);
    const FakeFileDialogs::Shown& shown = m_dialogs.shown.first();
    QCOMPARE(shown.kind,
        command == "ReadFile" ? FakeFileDialogs::Kind::Open : FakeFileDialogs::Kind::Save);
    QCOMPARE(shown.request.filter, "Init files (*.ini)|*.ini|All files (*.*)|*.*|");
    QCOMPARE(shown.request.fileName, "server.ini");
    QCOMPARE(shown.request.filterIndex, 1);
    QCOMPARE(m_boxes.shown, message.isEmpty() ? QStringList() : QStringList { message });
    QCOMPARE(m_window->CurrentFileName(), answer.isEmpty() ? "/before/old.ini" : path(answer));
    QCOMPARE(m_workingDirectory.path,
        workingFolder.isEmpty() ? "/before" : QDir::cleanPath(path(workingFolder)));
    const bool saved = command == "WriteFile" && !answer.isEmpty() && message.isEmpty();
    QCOMPARE(QFile::exists(path(answer)) && !answer.isEmpty(), saved);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 0);
}

void TestSettingsFileCommands::openThenSaveFixtures_data()
{
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("saved");
    row("written on the original platform", "original.ini", "original.ini");
    row("odd but readable", "odd.ini", "odd.saved.ini");
    row("binary", "binary.ini", "binary.saved.ini");
}

void TestSettingsFileCommands::openThenSaveFixtures()
{
    QFETCH(QString, opened);
    QFETCH(QString, saved);
    m_dialogs.answers << QFINDTESTDATA("../data/settings_file/" + opened) << path("saved.ini");
    m_window->menuItem("ReadFile")->trigger();
    m_window->menuItem("WriteFile")->trigger();
    QCOMPARE(m_boxes.shown, QStringList());
    QCOMPARE(
        contentOf(path("saved.ini")), contentOf(QFINDTESTDATA("../data/settings_file/" + saved)));
}

void TestSettingsFileCommands::qtFileDialogs_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("typed"); // empty: Cancel
    row("Open takes a name that does not exist", true, "new.ini");
    row("Save replaces without asking", false, "old.ini");
    row("Cancel", true, "");
}

void TestSettingsFileCommands::qtFileDialogs()
{
    QFETCH(bool, open);
    QFETCH(QString, typed);
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
        name->setText(path(typed));
        if (typed.isEmpty())
            dialog->reject();
        else
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own accept() is protected
    });
    QtFileDialogs dialogs;
    const FileDialogRequest request { "Init files (*.ini)|*.ini|All files (*.*)|*.*|", "server.ini",
        1 };
    const std::optional<QString> chosen
        = open ? dialogs.showOpen(request) : dialogs.showSave(request);
    QCOMPARE(shownFilters, (QStringList { "Init files (*.ini) *", "All files (*.*)" }));
    QCOMPARE(proposed, "server.ini");
    QCOMPARE(chosen.value_or("(cancelled)"), typed.isEmpty() ? "(cancelled)" : path(typed));
}

QTEST_MAIN(TestSettingsFileCommands)
#include "test_settings_file_commands.moc"
