#pragma once

#include <QDialog>
#include <QPointer>

class MessageBoxes;
class ProcessLauncher;
class QLabel;
class QPushButton;
class Registry;
class SystemDirectory;
class frmMain;

/// What the About box needs of the system: the registry that names the System Information
/// tool, the existence test, the process start and message boxes.
struct AboutPlatform
{
    Registry& registry;
    SystemDirectory& system;
    ProcessLauncher& launcher;
    MessageBoxes& boxes;
};

/// The About box: the terminal's name, version and copyright, and a button that starts the
/// system's System Information tool. Fixed size; OK, Enter and Escape close and delete it.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    /// The program's version, major.minor.revision: the CMake project's.
    static constexpr char16_t kVersion[] = u"" ZELVIC_VERSION;
    static constexpr char16_t kUnavailableMessage[]
        = u"System Information Is Unavailable At This Time";

    explicit frmAbout(const AboutPlatform& platform, QWidget* parent = nullptr);

    /// Finds the System Information tool through the registry and starts it, or says that it
    /// is unavailable.
    void StartSysInfo();

private:
    void buildControls();
    void Load();

    AboutPlatform m_platform;
    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;
};

/// The Help menu's About: shows the one About box, creating it when none is open.
class AboutCommand
{
public:
    AboutCommand(frmMain& mainWindow, const AboutPlatform& platform);

    /// The AboutMenu Click.
    void About();
    /// The About box while it is open.
    frmAbout* window() const { return m_window; }

private:
    frmMain& m_mainWindow;
    AboutPlatform m_platform;
    QPointer<frmAbout> m_window;
};
