#pragma once

#include "core/result.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

class FileDialogs;
class MessageBoxes;
class WorkingDirectory;
class frmMain;

/// The File menu's Open and Save commands and the settings file's writer and reader, working on
/// the main window's controls. The file's format and character set are described in
/// settings_format.h.
class SettingsFileCommands : public QObject
{
    Q_OBJECT

public:
    /// Attaches Open and Save to the menu items ReadFile and WriteFile.
    SettingsFileCommands(frmMain& window, FileDialogs& dialogs, MessageBoxes& boxes,
        WorkingDirectory& workingDirectory, QObject* parent = nullptr);

    /// Asks for a file and reads it into the controls. Cancel ends the command silently.
    void Open();
    /// Asks for a file and writes the controls into it: the bytes written. Cancel ends the
    /// command silently; a failure of the writer is reported by the writer alone. Nothing
    /// either way.
    std::optional<QByteArray> Save();

    /// Writes the controls into the file at the path. The file is replaced only once it has been
    /// written whole, so a failed write leaves the old file as it was; a new file is readable and
    /// writable by its owner only (it holds the FTP password), an existing one keeps its
    /// permissions. Gives the bytes written; shows the failure's description on failure.
    Result<QByteArray> WriteSettingsFile(const QString& path);
    /// Reads the file at the path into the controls, each value set as typing would set it, and
    /// gives chkDHCP the focus. Shows the failure's description on failure; values read before
    /// the failure stay.
    void ReadSettingsFile(const QString& path);

private:
    Result<QByteArray> storeSettings(const QString& path) const;
    // The chosen file becomes the current file name, and its folder the working folder, before
    // the file is touched.
    void takeChosenPath(const QString& path);

    frmMain& m_window;
    FileDialogs& m_dialogs;
    MessageBoxes& m_boxes;
    WorkingDirectory& m_workingDirectory;
};
