#pragma once

#include "core/handler_policy.h"
#include "platform/serial_port_list.h"

#include <QDialog>

#include <array>

class frmMain;
class MessageBoxes;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class SaxComm;

/// The serial port settings dialog: chooses COM1 or COM2, the device behind it and the settings
/// string, and switches the serial control's CommSpy log. It keeps nothing of its own: it reads the
/// serial control's state when it is made and writes it back on Apply, so a new one is made for
/// every opening.
class frmRS232Settings : public QDialog
{
    Q_OBJECT

public:
    frmRS232Settings(SaxComm& comm, MessageBoxes& boxes, QWidget* owner = nullptr);

private:
    void buildControls();
    void setKeyboardOrder();
    void Load();
    void fitCaptions();
    void showLogPath();
    void chkCommSpyClick();
    void cmdApplyClick();
    Result<> applyPortChoice(const QString& settings);
    Result<> reopenAs(const QString& portName);
    void writeCommSpySwitches();
    bool entrySelected(int row) const;
    void showDevice();
    void refreshDeviceList();
    QString deviceText() const;
    bool deviceEdited(const QString& portName) const;
    Result<> chooseEditedDevice();

    SaxComm& m_comm;
    MessageBoxes& m_boxes;

    QGroupBox* Frame1 = nullptr;
    QLabel* lblPortOpen = nullptr;
    QListWidget* comPortList = nullptr;
    QLineEdit* txtSettings = nullptr;
    QComboBox* cboDevice = nullptr;
    QLabel* lblDeviceOrigin = nullptr;
    /// Re-reads the ports present, as adapters come and go.
    QTimer* tmrDevices = nullptr;
    /// The port whose device the drop-down shows, and the ports it lists.
    QString m_devicePort;
    QList<SerialPortEntry> m_listedPorts;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdApply = nullptr;
    QGroupBox* Frame2 = nullptr;
    QCheckBox* chkCommSpy = nullptr;
    /// chkCommSpyEvent, chkCommSpyInput, chkCommSpyOutput, chkCommSpyProperties,
    /// chkCommSpyWarnings: in the order of the serial control's log switches.
    std::array<QCheckBox*, 5> m_logBoxes {};
    QLabel* lblCommSpyLog = nullptr;
};

/// Opens a new settings dialog, modal over the main window, from its "RS232 Port Setup" item.
void attachRS232Settings(frmMain& window, SaxComm& comm, MessageBoxes& boxes);
