#pragma once

class FileDialogs;
class MessageBoxes;
class ProcessLauncher;
class SystemDirectory;
class frmMain;

/// The Tools menu's Ping: runs the system's ping program against the server's IP address in a
/// terminal window of its own. The program is looked for anew at every invocation; when it is
/// not found the user points to it in an Open dialog.
class PingCommand
{
public:
    PingCommand(frmMain& mainWindow, SystemDirectory& system, FileDialogs& dialogs,
        ProcessLauncher& launcher, MessageBoxes& boxes);

    /// The mnuPing Click.
    void Ping();

private:
    frmMain& m_mainWindow;
    SystemDirectory& m_system;
    FileDialogs& m_dialogs;
    ProcessLauncher& m_launcher;
    MessageBoxes& m_boxes;
};
