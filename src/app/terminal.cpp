#include "app/terminal.h"

#include "windows/frm_rs232_settings.h"

#include <QCoreApplication>
#include <QDir>

namespace {

// Where an installed terminal keeps its help page: share/zelvic beside its bin folder.
QString installedHelpDirectory()
{
    return QDir::cleanPath(
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/zelvic"));
}

} // namespace

Terminal::Terminal(const TerminalPlatform& platform, const QProcessEnvironment& environment)
    : m_comm(DeviceSources { environment, &platform.serialPorts, &platform.deviceChoices })
    , m_transferStatus(m_comm.transfer())
    , m_mainWindow(m_comm, platform.messageBoxes)
    , m_shutdown(m_mainWindow, m_comm)
    , m_settingsFile(
          m_mainWindow, platform.fileDialogs, platform.messageBoxes, platform.workingDirectory)
    , m_upload(m_mainWindow, m_settingsFile, m_comm, platform.messageBoxes)
    , m_ping(m_mainWindow, platform.systemDirectory, platform.fileDialogs, platform.launcher,
          platform.messageBoxes)
    , m_browserCommands(m_mainWindow, platform.workingDirectory, platform.browsers,
          platform.messageBoxes, installedHelpDirectory())
    , m_about(m_mainWindow,
          { platform.registry, platform.systemDirectory, platform.launcher, platform.messageBoxes })
{
    attachRS232Settings(m_mainWindow, m_comm, platform.messageBoxes);
}

void Terminal::start()
{
    m_mainWindow.Load();
    m_mainWindow.show();
}
