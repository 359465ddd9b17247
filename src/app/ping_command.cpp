#include "app/ping_command.h"

#include "core/addresses.h"
#include "core/ping_rules.h"
#include "platform/file_dialogs.h"
#include "platform/message_boxes.h"
#include "platform/process_launcher.h"
#include "platform/system_directory.h"
#include "windows/frm_main.h"

#include <QAction>

PingCommand::PingCommand(frmMain& mainWindow, SystemDirectory& system, FileDialogs& dialogs,
    ProcessLauncher& launcher, MessageBoxes& boxes)
    : m_mainWindow(mainWindow)
    , m_system(system)
    , m_dialogs(dialogs)
    , m_launcher(launcher)
    , m_boxes(boxes)
{
    QObject::connect(
        m_mainWindow.menu().mnuPing, &QAction::triggered, &m_mainWindow, [this] { Ping(); });
}

void PingCommand::Ping()
{
    const std::optional<QString> directory = directoryFromBuffer(m_system.directoryBuffer());
    if (!directory) {
        m_boxes.showMessage(QStringLiteral("Error in win path"));
        return;
    }
    std::optional<QString> program;
    for (const QString& candidate : pingCandidates(*directory)) {
        program = m_system.findFile(candidate);
        if (program)
            break;
    }
    if (!program) {
        // Cancel ends the command silently; the path chosen is taken as it is.
        program
            = m_dialogs.showOpen({ QStringLiteral("Init files (*.exe)|*.exe|All files (*.*)|*.*|"),
                QStringLiteral("ping.exe"), 1 });
        if (!program)
            return;
    }
    // The path and the address are separate arguments: nothing in either is ever split or
    // read by a shell. A program that cannot be started leaves no message.
    skipAndContinue([&] {
        return m_launcher.startInTerminal(*program, { hostAddress(m_mainWindow.ipAddressTexts()) });
    });
}
