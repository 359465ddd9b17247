#pragma once

#include <QString>

class BrowserModule;
class MessageBoxes;
class WorkingDirectory;
class frmMain;

/// The View menu's Web Browser and the Help menu's Help Topics: each opens a new, independent
/// browser window, on the server's home page or on the help page in the current directory.
class BrowserCommands
{
public:
    /// installedHelp is the folder the terminal's own help page was installed in: Help Topics
    /// opens that one when the current directory holds no help page.
    BrowserCommands(frmMain& mainWindow, WorkingDirectory& directory, BrowserModule& browsers,
        MessageBoxes& boxes, QString installedHelp = {});

    /// The mnuWebBrowser Click.
    void WebBrowser();
    /// The HelpTopicsMenu Click.
    void HelpTopics();

private:
    frmMain& m_mainWindow;
    WorkingDirectory& m_directory;
    BrowserModule& m_browsers;
    MessageBoxes& m_boxes;
    QString m_installedHelp;
};
