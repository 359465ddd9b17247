#pragma once

#include "about/frm_about.h"
#include "main_window/frm_main.h"
#include "serial_link/sax_comm.h"
#include "serial_link/settings_upload.h"
#include "serial_link/shutdown.h"
#include "settings_file/settings_file_commands.h"
#include "tools/browser_commands.h"
#include "tools/ping_command.h"

#include <QProcessEnvironment>

class BrowserModule;
class FileDialogs;
class MessageBoxes;
class ProcessLauncher;
class Registry;
class SystemDirectory;
class WorkingDirectory;

/// What the terminal takes from the operating system: the real implementations in the program,
/// fakes in tests.
struct TerminalPlatform
{
    MessageBoxes& messageBoxes;
    FileDialogs& fileDialogs;
    WorkingDirectory& workingDirectory;
    SystemDirectory& systemDirectory;
    ProcessLauncher& launcher;
    Registry& registry;
    BrowserModule& browsers;
};

/// The whole terminal: the serial control, the main window and every command attached to it.
class Terminal
{
public:
    explicit Terminal(const TerminalPlatform& platform,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

    /// The start-up sequence, then the main window is shown.
    void start();

    frmMain& mainWindow() { return m_mainWindow; }
    SaxComm& comm() { return m_comm; }
    Shutdown& shutdown() { return m_shutdown; }

private:
    SaxComm m_comm;
    frmMain m_mainWindow;
    Shutdown m_shutdown;
    SettingsFileCommands m_settingsFile;
    SettingsUpload m_upload;
    PingCommand m_ping;
    BrowserCommands m_browserCommands;
    AboutCommand m_about;
};
