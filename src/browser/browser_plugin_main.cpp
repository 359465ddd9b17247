#include "browser/browser_plugin_main.h"

#include "browser/frm_browser.h"

QWidget* BrowserPlugin::openBrowserWindow(const QString& startingAddress, MessageBoxes& boxes)
{
    auto* window = new frmBrowser(boxes);
    window->setStartingAddress(startingAddress);
    window->show();
    return window;
}
