#include "windows/frm_rs232_settings.h"

#include "core/settings_string.h"
#include "platform/message_boxes.h"
#include "serial_link/sax_comm.h"
#include "windows/button_keys.h"
#include "windows/fixed_layout.h"
#include "windows/frm_main.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

namespace {

// The Device row makes the port frame this much taller; what lies below it moves down.
constexpr int kDeviceRows = 615;
constexpr int kClientWidth = 3240;
constexpr int kClientHeight = 2610 + kDeviceRows;
// Often enough to follow an adapter plugged in, seldom enough to cost nothing.
constexpr int kDevicePollMs = 1000;

const QString kCom1 = QStringLiteral("COM1");
const QString kCom2 = QStringLiteral("COM2");

template <typename W>
W* placeWithText(QWidget* container, const QString& name, const QString& text, int left, int top,
    int width, int height)
{
    W* widget = placeWidget<W>(container, name, left, top, width, height);
    widget->setText(text);
    return widget;
}

QGroupBox* frame(
    QWidget* container, const QString& name, const QString& caption, int top, int height)
{
    auto* f = placeWidget<QGroupBox>(container, name, 120, top, 3015, height);
    f->setTitle(caption);
    return f;
}

struct LogBox
{
    LogSwitch logSwitch;
    const char16_t* name;
    const char16_t* caption;
};

// In the order of the serial control's log switches.
constexpr std::array<LogBox, 5> kLogBoxes { {
    { LogSwitch::Events, u"chkCommSpyEvent", u"Log events" },
    { LogSwitch::Input, u"chkCommSpyInput", u"Log input" },
    { LogSwitch::Output, u"chkCommSpyOutput", u"Log output" },
    { LogSwitch::Properties, u"chkCommSpyProperties", u"Log properties" },
    { LogSwitch::Warnings, u"chkCommSpyWarnings", u"Log warnings" },
} };

} // namespace

frmRS232Settings::frmRS232Settings(SaxComm& comm, MessageBoxes& boxes, QWidget* owner)
    : QDialog(owner)
    , m_comm(comm)
    , m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmRS232Settings"));
    setWindowTitle(QStringLiteral("RS232 configuration"));
    buildControls();
    setKeyboardOrder();
    pressFocusedButtonsOnEnter(this);
    connect(chkCommSpy, &QCheckBox::stateChanged, this, &frmRS232Settings::chkCommSpyClick);
    connect(cmdApply, &QPushButton::clicked, this, &frmRS232Settings::cmdApplyClick);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    // A device picked from the list is its path; the description stays in the list.
    connect(cboDevice, &QComboBox::activated, this,
        [this](int index) { cboDevice->setEditText(cboDevice->itemData(index).toString()); });

    // The CommSpy group lies below the design size; the window can be enlarged to reach it.
    resize(twipsToPixels(kClientWidth, logicalDpiX()), twipsToPixels(kClientHeight, logicalDpiY()));
    setSizeGripEnabled(true);
    Load();
    fitCaptions();
    showLogPath();
    connect(comPortList, &QListWidget::itemSelectionChanged, this, &frmRS232Settings::showDevice);
    tmrDevices = new QTimer(this);
    tmrDevices->setObjectName(QStringLiteral("tmrDevices"));
    connect(tmrDevices, &QTimer::timeout, this, &frmRS232Settings::refreshDeviceList);
    tmrDevices->start(kDevicePollMs);
}

void frmRS232Settings::fitCaptions()
{
    QList<QWidget*> captioned;
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label != lblCommSpyLog && label != lblDeviceOrigin)
            captioned.append(label);
    }
    for (QAbstractButton* button : findChildren<QAbstractButton*>())
        captioned.append(button);
    fitFontToCaptions(this, captioned);
}

void frmRS232Settings::showLogPath()
{
    // A path seldom fits the group's width: its middle gives way, and the tool tip has it whole.
    const QString path = m_comm.commSpyLogPath();
    lblCommSpyLog->setText(lblCommSpyLog->fontMetrics().elidedText(
        QStringLiteral("Log file: %1").arg(path), Qt::ElideMiddle, lblCommSpyLog->width()));
    lblCommSpyLog->setToolTip(path);
}

void frmRS232Settings::buildControls()
{
    Frame1 = frame(this, QStringLiteral("Frame1"), QStringLiteral("Comm port settings"), 120,
        1935 + kDeviceRows);
    lblPortOpen = placeWithText<QLabel>(Frame1, QStringLiteral("lblPortOpen"),
        QStringLiteral("Port is closed"), 240, 360, 1575, 255);
    auto* selectPort = placeWithText<QLabel>(
        Frame1, QStringLiteral("Label2"), QStringLiteral("Select port"), 240, 840, 975, 255);
    comPortList
        = placeWidget<QListWidget>(Frame1, QStringLiteral("comPortList"), 1560, 840, 1215, 450);
    selectPort->setBuddy(comPortList);
    comPortList->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* portSettings = placeWithText<QLabel>(
        Frame1, QStringLiteral("Label1"), QStringLiteral("Port Settings"), 240, 1440, 1095, 255);
    txtSettings = placeWithText<QLineEdit>(
        Frame1, QStringLiteral("txtSettings"), QStringLiteral("9600,N,8,1"), 1560, 1440, 1215, 285);
    portSettings->setBuddy(txtSettings);
    // Wider than the boxes above: a device path is longer than a settings string.
    auto* deviceLabel = placeWithText<QLabel>(
        Frame1, QStringLiteral("lblDevice"), QStringLiteral("Device"), 240, 1860, 615, 255);
    cboDevice = placeWidget<QComboBox>(Frame1, QStringLiteral("cboDevice"), 960, 1830, 1815, 315);
    cboDevice->setEditable(true);
    cboDevice->setInsertPolicy(QComboBox::NoInsert);
    deviceLabel->setBuddy(cboDevice);
    // A screen reader on Linux announces a drop-down by its text and its label by relation: the
    // field typed into carries the label's name.
    cboDevice->lineEdit()->setAccessibleName(deviceLabel->text());
    lblDeviceOrigin
        = placeWidget<QLabel>(Frame1, QStringLiteral("lblDeviceOrigin"), 960, 2175, 1815, 255);
    lblDeviceOrigin->setEnabled(false);

    cmdCancel = placeWithText<QPushButton>(this, QStringLiteral("cmdCancel"),
        QStringLiteral("Cancel"), 240, 2160 + kDeviceRows, 1215, 375);
    cmdApply = placeWithText<QPushButton>(this, QStringLiteral("cmdApply"), QStringLiteral("Apply"),
        1800, 2160 + kDeviceRows, 1215, 375);
    // Neither button is the default: Enter in the text box does not apply. Enter on a focused
    // button presses that one (pressFocusedButtonsOnEnter).
    cmdCancel->setAutoDefault(false);
    cmdApply->setAutoDefault(false);

    // Taller than the 2175 twips drawn for it, to hold the log file's path below the boxes.
    Frame2 = frame(this, QStringLiteral("Frame2"), QStringLiteral("CommSpy settings"),
        2640 + kDeviceRows, 2415);
    chkCommSpy = placeWithText<QCheckBox>(Frame2, QStringLiteral("chkCommSpy"),
        QStringLiteral("CommSpy enable"), 120, 360, 1935, 255);
    for (std::size_t i = 0; i < kLogBoxes.size(); ++i) {
        const int top = 720 + static_cast<int>(i) * 240;
        m_logBoxes[i] = placeWithText<QCheckBox>(Frame2, QString::fromUtf16(kLogBoxes[i].name),
            QString::fromUtf16(kLogBoxes[i].caption), 360, top, 1935, 255);
        m_logBoxes[i]->setEnabled(false);
    }
    lblCommSpyLog
        = placeWidget<QLabel>(Frame2, QStringLiteral("lblCommSpyLog"), 120, 1980, 2775, 255);
}

void frmRS232Settings::setKeyboardOrder()
{
    QList<QWidget*> order { cmdApply, cmdCancel, txtSettings, comPortList, cboDevice, chkCommSpy };
    order.append(QList<QWidget*>(m_logBoxes.begin(), m_logBoxes.end()));
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    cmdApply->setFocus();
}

void frmRS232Settings::Load()
{
    lblPortOpen->setText(m_comm.portOpen() ? QStringLiteral("The port is open")
                                           : QStringLiteral("The port is closed"));

    if (!m_comm.commSpy()) {
        chkCommSpy->setCheckState(Qt::Unchecked);
        for (QCheckBox* box : m_logBoxes)
            box->setEnabled(false);
    } else {
        for (QCheckBox* box : m_logBoxes)
            box->setEnabled(true);
        chkCommSpy->setCheckState(Qt::Checked);
        for (std::size_t i = 0; i < kLogBoxes.size(); ++i) {
            if (m_comm.logSwitch(kLogBoxes[i].logSwitch))
                m_logBoxes[i]->setCheckState(Qt::Checked);
        }
    }

    comPortList->addItems({ kCom1, kCom2 });
    // Exact names only: any other port name selects nothing, and Apply then keeps that port.
    if (m_comm.commPort() == kCom1)
        comPortList->item(0)->setSelected(true);
    if (m_comm.commPort() == kCom2)
        comPortList->item(1)->setSelected(true);
    refreshDeviceList();
    showDevice();

    txtSettings->setText(m_comm.settings());
}

void frmRS232Settings::chkCommSpyClick()
{
    const bool on = chkCommSpy->checkState() == Qt::Checked;
    for (QCheckBox* box : m_logBoxes)
        box->setEnabled(on);
}

void frmRS232Settings::cmdApplyClick()
{
    const QString settings = txtSettings->text();
    if (!IsValidSettingsString(settings)) {
        m_boxes.showMessage(QStringLiteral("Illegal SETTINGS string"));
        return;
    }
    trapAndReport(
        m_boxes,
        [&] {
            setCursor(Qt::WaitCursor);
            const Result<> applied = applyPortChoice(settings);
            unsetCursor();
            return applied;
        },
        [&] { return m_comm.keepDevice(); }, [&] { writeCommSpySwitches(); }, [&] { accept(); });
}

Result<> frmRS232Settings::applyPortChoice(const QString& settings)
{
    const bool open = m_comm.portOpen();
    if (Result<> result = m_comm.setSettings(settings); !result.ok())
        return result;
    if (open) {
        // The open port has taken the new settings; it is reopened only to change the port or
        // its device.
        if (entrySelected(0) && m_comm.commPort() == kCom2) {
            if (Result<> result = reopenAs(kCom1); !result.ok())
                return result;
        }
        if (entrySelected(1) && m_comm.commPort() == kCom1)
            return reopenAs(kCom2);
        if (deviceEdited(m_comm.commPort()))
            return reopenAs(m_comm.commPort());
        return {};
    }
    if (entrySelected(0)) {
        if (Result<> result = m_comm.setCommPort(kCom1); !result.ok())
            return result;
    }
    if (entrySelected(1)) {
        if (Result<> result = m_comm.setCommPort(kCom2); !result.ok())
            return result;
    }
    if (Result<> result = chooseEditedDevice(); !result.ok())
        return result;
    return m_comm.setPortOpen(true);
}

Result<> frmRS232Settings::reopenAs(const QString& portName)
{
    if (Result<> result = m_comm.setPortOpen(false); !result.ok())
        return result;
    if (Result<> result = m_comm.setCommPort(portName); !result.ok())
        return result;
    if (Result<> result = chooseEditedDevice(); !result.ok())
        return result;
    return m_comm.setPortOpen(true);
}

Result<> frmRS232Settings::chooseEditedDevice()
{
    if (!deviceEdited(m_comm.commPort()))
        return {};
    return m_comm.chooseDevice(m_comm.commPort(), deviceText());
}

void frmRS232Settings::writeCommSpySwitches()
{
    if (chkCommSpy->checkState() != Qt::Checked) {
        for (LogSwitch which : { LogSwitch::Input, LogSwitch::Events, LogSwitch::Output,
                 LogSwitch::Properties, LogSwitch::Warnings })
            m_comm.setLogSwitch(which, false);
        m_comm.setCommSpy(false);
        return;
    }
    m_comm.setCommSpy(true);
    for (std::size_t i = 0; i < kLogBoxes.size(); ++i)
        m_comm.setLogSwitch(kLogBoxes[i].logSwitch, m_logBoxes[i]->checkState() == Qt::Checked);
}

bool frmRS232Settings::entrySelected(int row) const
{
    return comPortList->item(row)->isSelected();
}

void frmRS232Settings::showDevice()
{
    // The port Apply opens: the entry selected, else the one the serial control has.
    m_devicePort = entrySelected(0) ? kCom1 : entrySelected(1) ? kCom2 : m_comm.commPort();
    const PortDevice device = m_comm.deviceFor(m_devicePort);
    cboDevice->setEditText(device.path);
    const bool fixed
        = device.origin == DeviceOrigin::Environment || device.origin == DeviceOrigin::Named;
    cboDevice->setEnabled(!fixed);
    lblDeviceOrigin->setText(device.origin == DeviceOrigin::Environment
            ? QStringLiteral("set by ZELVIC_%1").arg(m_devicePort)
            : device.origin == DeviceOrigin::Named ? QStringLiteral("the port name is a device")
                                                   : QString());
}

void frmRS232Settings::refreshDeviceList()
{
    const QList<SerialPortEntry> ports = m_comm.detectedPorts();
    if (ports == m_listedPorts)
        return;
    m_listedPorts = ports;
    // Rebuilding the list replaces the text being edited: what the user typed is put back.
    QLineEdit* edit = cboDevice->lineEdit();
    const QString text = edit->text();
    const int cursor = edit->cursorPosition();
    const int selectionStart = edit->selectionStart();
    const int selectionLength = edit->selectionLength();
    cboDevice->clear();
    for (const SerialPortEntry& port : ports) {
        cboDevice->addItem(port.description.isEmpty()
                ? port.path
                : QStringLiteral("%1 - %2").arg(port.path, port.description),
            port.path);
    }
    cboDevice->setCurrentIndex(-1);
    edit->setText(text);
    if (selectionLength > 0)
        edit->setSelection(selectionStart, selectionLength);
    else
        edit->setCursorPosition(cursor);
}

QString frmRS232Settings::deviceText() const
{
    const QString text = cboDevice->currentText().trimmed();
    const int listed = cboDevice->findText(text);
    return listed >= 0 ? cboDevice->itemData(listed).toString() : text;
}

bool frmRS232Settings::deviceEdited(const QString& portName) const
{
    return cboDevice->isEnabled() && portName == m_devicePort && !deviceText().isEmpty()
        && deviceText() != m_comm.deviceFor(portName).path;
}

void attachRS232Settings(frmMain& window, SaxComm& comm, MessageBoxes& boxes)
{
    QObject::connect(
        window.menu().RS232Menu, &QAction::triggered, &window, [&window, &comm, &boxes] {
            frmRS232Settings dialog(comm, boxes, &window);
            dialog.exec();
        });
}
