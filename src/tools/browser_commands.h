#pragma once

class BrowserModule;
class MessageBoxes;
class WorkingDirectory;
class frmMain;

/// The View menu's Web Browser and the Help menu's Help Topics: each opens a new, independent
/// browser window, on the server's home page or on the help page in the current directory.
class BrowserCommands
{
public:
    BrowserCommands(frmMain& mainWindow, WorkingDirectory& directory, BrowserModule& browsers,
        MessageBoxes& boxes);

    /// The mnuWebBrowser Click.
    void WebBrowser();
    /// The HelpTopicsMenu Click.
    void HelpTopics();

private:
    frmMain& m_mainWindow;
    WorkingDirectory& m_directory;
    BrowserModule& m_browsers;
    MessageBoxes& m_boxes;
};
