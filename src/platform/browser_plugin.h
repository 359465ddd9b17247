#pragma once

#include <QString>
#include <QtPlugin>

class MessageBoxes;
class QWidget;

/// The interface the browser module exports to the terminal.
class BrowserWindowFactory
{
public:
    virtual ~BrowserWindowFactory() = default;
    /// Creates a new browser window, gives it the starting address and shows it modelessly; it
    /// loads as it is shown and reports a failed load in a message box. The window deletes itself
    /// when it is closed.
    virtual QWidget* openBrowserWindow(const QString& startingAddress, MessageBoxes& boxes) = 0;
};

#define ZELVIC_BROWSER_WINDOW_FACTORY_IID "org.zelvic.BrowserWindowFactory/1"
Q_DECLARE_INTERFACE(BrowserWindowFactory, ZELVIC_BROWSER_WINDOW_FACTORY_IID)
