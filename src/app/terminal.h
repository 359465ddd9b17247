#pragma once

#include "app/browser_commands.h"
#include "app/ping_command.h"
#include "app/settings_file_commands.h"
#include "app/settings_upload.h"
#include "app/shutdown.h"
#include "serial_link/sax_comm.h"
#include "windows/frm_about.h"
#include "windows/frm_main.h"
#include "windows/frm_sax_comm.h"

#include <QProcessEnvironment>

class BrowserModule;
class DeviceChoices;
class FileDialogs;
class MessageBoxes;
class ProcessLauncher;
class Registry;
class SerialPortList;
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
    const SerialPortList& serialPorts;
    DeviceChoices& deviceChoices;
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
    frmSaxComm& transferStatus() { return m_transferStatus; }
    Shutdown& shutdown() { return m_shutdown; }

private:
    SaxComm m_comm;
    frmSaxComm m_transferStatus;
    frmMain m_mainWindow;
    Shutdown m_shutdown;
    SettingsFileCommands m_settingsFile;
    SettingsUpload m_upload;
    PingCommand m_ping;
    BrowserCommands m_browserCommands;
    AboutCommand m_about;
};
