#pragma once

#include <QMainWindow>
#include <QString>

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
/// are attached by their own subsystems through the controls' object names.
class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    frmMain(SaxComm& comm, MessageBoxes& boxes, QWidget* parent = nullptr);

    /// The start-up sequence: prepares the serial control and opens its port. A failure is
    /// shown in a message box and the window opens all the same.
    void Load();

    /// The full path last chosen in the Open or Save dialog; empty until then.
    QString CurrentFileName() const { return m_currentFileName; }
    void setCurrentFileName(const QString& path) { m_currentFileName = path; }

    QAction* menuItem(const QString& objectName) const;
    QPushButton* writeButton() const { return cmdWrite; }
    QTimer* timer() const { return Timer1; }

    /// The text of a text box or the value (0, 1 or 2) of a check box, by object name.
    QString text(const QString& controlName) const;
    int checkValue(const QString& controlName) const;
    /// Sets a text box's text or a check box's value exactly as the user would: the entry
    /// rules and the switches run on it.
    void setText(const QString& controlName, const QString& text);
    void setCheckValue(const QString& controlName, int value);

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

    QLineEdit* textBox(const QString& name) const;
    QCheckBox* checkBox(const QString& name) const;

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
};
