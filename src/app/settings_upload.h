#pragma once

#include "core/handler_policy.h"

#include <QObject>

class MessageBoxes;
class SaxComm;
class SettingsFileCommands;
class WorkingDirectory;
class frmMain;

/// The Write button: stores the settings in the settings file, then has the serial control send
/// "server.ini" from the working folder to the server. It starts the transfer and does not
/// follow it; the serial control's status window does.
class SettingsUpload : public QObject
{
    Q_OBJECT

public:
    /// Attaches the handler to the main window's Write button.
    SettingsUpload(frmMain& window, SettingsFileCommands& settingsFile, SaxComm& comm,
        WorkingDirectory& workingDirectory, MessageBoxes& boxes, QObject* parent = nullptr);

    void cmdWriteClick();

private:
    void storeSettings();
    Result<> upload();

    frmMain& m_window;
    SettingsFileCommands& m_settingsFile;
    SaxComm& m_comm;
    WorkingDirectory& m_workingDirectory;
    MessageBoxes& m_boxes;
};
