#include "app/command_line.h"
#include "app/terminal.h"
#include "platform/device_choices_posix.h"
#include "platform/process_launcher_posix.h"
#include "platform/registry_posix.h"
#include "platform/serial_port_list_posix.h"
#include "platform/system_directory_posix.h"
#include "platform/working_directory_posix.h"
#include "windows/browser_module_posix.h"
#include "windows/file_dialogs_qt.h"
#include "windows/message_boxes_qt.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    if (wantsCommandLine(argc, argv))
        return runCommandLine(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zelvic"));
    QApplication::setApplicationVersion(QString::fromUtf16(frmAbout::kVersion));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/zelvic/zelvic.png")));

    QtMessageBoxes messageBoxes;
    QtFileDialogs fileDialogs;
    PosixWorkingDirectory workingDirectory;
    PosixSystemDirectory systemDirectory;
    PosixProcessLauncher launcher;
    PosixRegistry registry;
    PosixBrowserModule browsers(messageBoxes);
    PosixSerialPortList serialPorts;
    PosixDeviceChoices deviceChoices;
    Terminal terminal({ messageBoxes, fileDialogs, workingDirectory, systemDirectory, launcher,
        registry, browsers, serialPorts, deviceChoices });
    // Signals are caught before the port opens, so that no way out leaves it open.
    terminal.shutdown().catchTerminationRequests();
    terminal.start();
    return QApplication::exec();
}
