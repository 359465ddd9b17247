#pragma once

#include "settings_file/settings_format.h"

#include <QHash>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>

class MessageBoxes;
class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class SaxComm;

/// The main window: the editor of the server's settings, the Write button and the menus.
/// The settings live only in its controls; the commands of the menus and of the Write button
/// attach themselves through the typed accessors below.
class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    /// The menu items the commands attach to, named as their object names.
    struct Menu
    {
        QAction* ReadFile = nullptr;
        QAction* WriteFile = nullptr;
        QAction* mnuClearForm = nullptr;
        QAction* ExitMenu = nullptr;
        QAction* RS232Menu = nullptr;
        QAction* mnuPing = nullptr;
        QAction* mnuWebBrowser = nullptr;
        QAction* HelpTopicsMenu = nullptr;
        QAction* AboutMenu = nullptr;
    };

    frmMain(SaxComm& comm, MessageBoxes& boxes, QWidget* parent = nullptr);

    /// The start-up sequence: prepares the serial control and opens its port. A failure is
    /// shown in a message box and the window opens all the same.
    void Load();

    /// The full path last chosen in the Open or Save dialog; empty until then.
    QString CurrentFileName() const { return m_currentFileName; }
    void setCurrentFileName(const QString& path) { m_currentFileName = path; }

    const Menu& menu() const { return m_menu; }
    QPushButton* writeButton() const { return cmdWrite; }
    QTimer* timer() const { return Timer1; }

    /// The settings as the controls hold them.
    ServerSettings serverSettings() const;
    /// Sets one control's text or check value exactly as the user would: the entry rules and
    /// the switches run on it. An assignment to no control of the window changes nothing.
    void applySetting(const SettingsAssignment& assignment);
    /// The texts of the four IP address boxes, first byte first, as they stand.
    QStringList ipAddressTexts() const;
    /// Gives the DHCP switch the keyboard focus, as after a settings file was read.
    void focusDhcpSwitch();

signals:
    /// Every request to close the window is refused and reported here.
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls(QWidget* client);
    void buildMenus();
    void setKeyboardOrder();
    void DHCPSwitch();
    void FTPSwitch();
    void ClearForm();

    QLineEdit* textBox(const char16_t* name) const
    {
        return m_textBoxes.value(QString::fromUtf16(name));
    }

    SaxComm& m_comm;
    MessageBoxes& m_boxes;
    QString m_currentFileName;
    bool m_shownOnce = false;

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QCheckBox* chkDHCP = nullptr;
    QCheckBox* chkFTP = nullptr;
    QLabel* lblIPAddress = nullptr;
    QLabel* lblUserName = nullptr;
    QLabel* lblPassword = nullptr;
    QPushButton* cmdWrite = nullptr;
    QTimer* Timer1 = nullptr;
    Menu m_menu;
    // The settings' controls by object name, each made from the names' one list.
    QHash<QString, QLineEdit*> m_textBoxes;
    QHash<QString, QCheckBox*> m_checkBoxes;
};
