#include "tools/browser_commands.h"

#include "main_window/frm_main.h"
#include "platform/browser_module.h"
#include "platform/working_directory.h"
#include "tools/addresses.h"
#include "tools/ip_address_texts.h"

#include <QAction>

BrowserCommands::BrowserCommands(
    frmMain& mainWindow, WorkingDirectory& directory, BrowserModule& browsers, MessageBoxes& boxes)
    : m_mainWindow(mainWindow)
    , m_directory(directory)
    , m_browsers(browsers)
    , m_boxes(boxes)
{
    QObject::connect(m_mainWindow.menuItem(QStringLiteral("mnuWebBrowser")), &QAction::triggered,
        &m_mainWindow, [this] { WebBrowser(); });
    QObject::connect(m_mainWindow.menuItem(QStringLiteral("HelpTopicsMenu")), &QAction::triggered,
        &m_mainWindow, [this] { HelpTopics(); });
}

void BrowserCommands::WebBrowser()
{
    trapAndReport(m_boxes,
        [this] { return m_browsers.openWindow(serverAddress(ipAddressTexts(m_mainWindow))); });
}

void BrowserCommands::HelpTopics()
{
    trapAndReport(
        m_boxes, [this] { return m_browsers.openWindow(helpAddress(m_directory.current())); });
}
