#include "about/frm_about.h"
#include "main_window/frm_main.h"
#include "platform/browser_module_posix.h"
#include "platform/file_dialogs_qt.h"
#include "platform/message_boxes_qt.h"
#include "platform/process_launcher_posix.h"
#include "platform/registry_posix.h"
#include "platform/system_directory_posix.h"
#include "platform/working_directory_posix.h"
#include "serial_link/frm_rs232_settings.h"
#include "serial_link/sax_comm.h"
#include "serial_link/settings_upload.h"
#include "serial_link/shutdown.h"
#include "settings_file/settings_file_commands.h"
#include "tools/browser_commands.h"
#include "tools/ping_command.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zelvic"));

    QtMessageBoxes messageBoxes;
    QtFileDialogs fileDialogs;
    PosixWorkingDirectory workingDirectory;
    SaxComm comm;
    frmMain mainWindow(comm, messageBoxes);
    Shutdown shutdown(mainWindow, comm);
    shutdown.catchTerminationRequests();
    mainWindow.Load();
    SettingsFileCommands settingsFile(mainWindow, fileDialogs, messageBoxes, workingDirectory);
    SettingsUpload upload(mainWindow, settingsFile, comm, workingDirectory, messageBoxes);
    attachRS232Settings(mainWindow, comm, messageBoxes);
    PosixSystemDirectory systemDirectory;
    PosixProcessLauncher launcher;
    PosixBrowserModule browsers(messageBoxes);
    PosixRegistry registry;
    PingCommand ping(mainWindow, systemDirectory, fileDialogs, launcher, messageBoxes);
    BrowserCommands browserCommands(mainWindow, workingDirectory, browsers, messageBoxes);
    AboutCommand about(mainWindow, { registry, systemDirectory, launcher, messageBoxes });

    mainWindow.show();
    return QApplication::exec();
}
