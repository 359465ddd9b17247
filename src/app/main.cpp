#include "about/frm_about.h"
#include "main_window/frm_main.h"
#include "platform/browser_module_posix.h"
#include "platform/file_dialogs_qt.h"
#include "platform/message_boxes_qt.h"
#include "platform/process_launcher_posix.h"
#include "platform/registry_posix.h"
#include "platform/system_directory_posix.h"
#include "platform/working_directory_posix.h"
#include "serial_link/sax_comm.h"
#include "settings_file/settings_file_commands.h"
#include "tools/browser_commands.h"
#include "tools/ping_command.h"

#include <QAction>
#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zelvic"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lumo Brisk Terminal"));

    QtMessageBoxes messageBoxes;
    QtFileDialogs fileDialogs;
    PosixWorkingDirectory workingDirectory;
    SaxComm comm;
    frmMain mainWindow(comm, messageBoxes);
    mainWindow.Load();
    SettingsFileCommands settingsFile(mainWindow, fileDialogs, messageBoxes, workingDirectory);
    PosixSystemDirectory systemDirectory;
    PosixProcessLauncher launcher;
    PosixBrowserModule browsers(messageBoxes);
    PosixRegistry registry;
    PingCommand ping(mainWindow, systemDirectory, fileDialogs, launcher, messageBoxes);
    BrowserCommands browserCommands(mainWindow, workingDirectory, browsers, messageBoxes);
    AboutCommand about(mainWindow, { registry, systemDirectory, launcher, messageBoxes });

    // Until the deferred shutdown is in place, Exit and closing the window end the program.
    QObject::connect(&mainWindow, &frmMain::closeRequested, &app, &QApplication::quit);
    QObject::connect(mainWindow.menuItem(QStringLiteral("ExitMenu")), &QAction::triggered, &app,
        &QApplication::quit);

    mainWindow.show();
    return QApplication::exec();
}
