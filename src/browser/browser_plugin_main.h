#pragma once

#include "platform/browser_plugin.h"

#include <QObject>

/// The browser module's entry point, found by the terminal's plugin loader.
class BrowserPlugin final : public QObject, public BrowserWindowFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ZELVIC_BROWSER_WINDOW_FACTORY_IID)
    Q_INTERFACES(BrowserWindowFactory)

public:
    QWidget* openBrowserWindow(const QString& startingAddress, MessageBoxes& boxes) override;
};
