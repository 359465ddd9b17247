#include "app/browser_commands.h"

#include "core/addresses.h"
#include "platform/browser_module.h"
#include "platform/message_boxes.h"
#include "platform/working_directory.h"
#include "windows/frm_main.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>

BrowserCommands::BrowserCommands(frmMain& mainWindow, WorkingDirectory& directory,
    BrowserModule& browsers, MessageBoxes& boxes, QString installedHelp)
    : m_mainWindow(mainWindow)
    , m_directory(directory)
    , m_browsers(browsers)
    , m_boxes(boxes)
    , m_installedHelp(std::move(installedHelp))
{
    QObject::connect(m_mainWindow.menu().mnuWebBrowser, &QAction::triggered, &m_mainWindow,
        [this] { WebBrowser(); });
    QObject::connect(m_mainWindow.menu().HelpTopicsMenu, &QAction::triggered, &m_mainWindow,
        [this] { HelpTopics(); });
}

void BrowserCommands::WebBrowser()
{
    trapAndReport(m_boxes,
        [this] { return m_browsers.openWindow(serverAddress(m_mainWindow.ipAddressTexts())); });
}

void BrowserCommands::HelpTopics()
{
    trapAndReport(m_boxes, [this] {
        QString directory = m_directory.current();
        // Started from the desktop's menu, the terminal's current directory is the user's home:
        // the help page it was installed with stands in for the missing one.
        const auto hasHelp = [](const QString& d) {
            return QFileInfo::exists(QDir(d).filePath(QStringLiteral("help.htm")));
        };
        if (!hasHelp(directory) && !m_installedHelp.isEmpty() && hasHelp(m_installedHelp))
            directory = m_installedHelp;
        return m_browsers.openWindow(helpAddress(directory));
    });
}
