#include "app/settings_file_commands.h"

#include "core/handler_policy.h"
#include "platform/file_dialogs.h"
#include "platform/message_boxes.h"
#include "platform/working_directory.h"
#include "settings_file/settings_format.h"
#include "windows/frm_main.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::Literals::StringLiterals;

namespace {

// Prepared afresh for every Open and Save: the proposed name is always the default one.
FileDialogRequest settingsFileRequest()
{
    return { u"Init files (*.ini)|*.ini|All files (*.*)|*.*|"_s, u"server.ini"_s, 1 };
}

} // namespace

SettingsFileCommands::SettingsFileCommands(frmMain& window, FileDialogs& dialogs,
    MessageBoxes& boxes, WorkingDirectory& workingDirectory, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_dialogs(dialogs)
    , m_boxes(boxes)
    , m_workingDirectory(workingDirectory)
{
    connect(window.menu().ReadFile, &QAction::triggered, this, &SettingsFileCommands::Open);
    connect(window.menu().WriteFile, &QAction::triggered, this, &SettingsFileCommands::Save);
}

void SettingsFileCommands::Open()
{
    // Silent end: a cancelled dialog leaves everything as it was.
    if (const std::optional<QString> path = m_dialogs.showOpen(settingsFileRequest())) {
        takeChosenPath(*path);
        ReadSettingsFile(m_window.CurrentFileName());
    }
}

std::optional<QByteArray> SettingsFileCommands::Save()
{
    const std::optional<QString> path = m_dialogs.showSave(settingsFileRequest());
    if (!path)
        return std::nullopt;
    takeChosenPath(*path);
    Result<QByteArray> stored = WriteSettingsFile(m_window.CurrentFileName());
    if (!stored.ok())
        return std::nullopt;
    return std::move(stored).value();
}

void SettingsFileCommands::takeChosenPath(const QString& path)
{
    const QFileInfo chosen(path);
    m_window.setCurrentFileName(chosen.absoluteFilePath());
    // The upload sends "server.ini" from the working folder, which follows the chosen file the
    // way the platform's dialog moves it. A folder that cannot be entered leaves it where it was,
    // and the command goes on.
    m_workingDirectory.setCurrent(chosen.absolutePath());
}

Result<QByteArray> SettingsFileCommands::WriteSettingsFile(const QString& path)
{
    Result<QByteArray> stored = storeSettings(path);
    if (!stored.ok())
        m_boxes.showMessage(stored.error());
    return stored;
}

Result<QByteArray> SettingsFileCommands::storeSettings(const QString& path) const
{
    const ServerSettings settings = m_window.serverSettings();
    QSaveFile file(path);
    const bool isNew = !QFileInfo::exists(path);
    // A failed step leaves the target untouched: the QSaveFile's temporary file is removed when
    // it goes out of scope without a commit. Unbuffered: a short write then reaches the writer,
    // which QSaveFile's own buffer would hide, committing a cut file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Failure { file.errorString() };
    if (isNew && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return Failure { file.errorString() };
    Result<QByteArray> written = writeSettings(file, settings);
    if (written.ok() && !file.commit())
        return Failure { file.errorString() };
    return written;
}

void SettingsFileCommands::ReadSettingsFile(const QString& path)
{
    QFile file(path);
    const auto apply
        = [this](const SettingsAssignment& assignment) { m_window.applySetting(assignment); };
    trapAndReport(
        m_boxes,
        [&] {
            return file.open(QIODevice::ReadOnly) ? Result<> {} : Failure { file.errorString() };
        },
        [&] { return readSettings(file, apply); }, [&] { m_window.focusDhcpSwitch(); });
}
