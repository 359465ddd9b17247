#include "windows/frm_main.h"

#include "core/handler_policy.h"
#include "core/octet_filters.h"
#include "core/settings_controls.h"
#include "platform/message_boxes.h"
#include "serial_link/sax_comm.h"
#include "windows/address_field.h"
#include "windows/button_keys.h"
#include "windows/fixed_layout.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>

namespace {

constexpr int kClientWidth = 5070;
constexpr int kClientHeight = 6435;
constexpr int kByteBoxWidth = 375;
constexpr int kByteBoxPitch = 360;
constexpr int kBoxHeight = 285;

using namespace SettingsControls;

QLabel* label(
    QWidget* container, const QString& name, const QString& caption, int left, int top, int width)
{
    auto* l = placeWidget<QLabel>(container, name, left, top, width, kBoxHeight);
    l->setText(caption);
    return l;
}

QLineEdit* textBox(QWidget* container, const char16_t* name, int left, int top, int width)
{
    return placeWidget<QLineEdit>(
        container, QString::fromUtf16(name), left, top, width, kBoxHeight);
}

QGroupBox* frame(
    QWidget* container, const QString& name, const QString& caption, int top, int height)
{
    auto* f = placeWidget<QGroupBox>(container, name, 120, top, 4815, height);
    f->setTitle(caption);
    return f;
}

QCheckBox* checkBox(QWidget* container, const QString& name, const QString& caption)
{
    auto* box = placeWidget<QCheckBox>(container, name, 360, 360, 1575, 375);
    box->setText(caption);
    box->setCheckState(Qt::Checked);
    return box;
}

// A row of byte boxes, each following the row's entry rule and moving the focus on to the next
// box of the row when its byte is complete. The row's one label names each box with its place.
template <std::size_t N>
void byteRow(QWidget* container, const std::array<const char16_t*, N>& names, int top,
    OctetRule rule, const QLabel* label)
{
    std::array<QLineEdit*, N> boxes {};
    for (std::size_t i = 0; i < N; ++i) {
        boxes[i] = textBox(container, names[i], 2400 + int(i) * kByteBoxPitch, top, kByteBoxWidth);
        boxes[i]->setAlignment(Qt::AlignCenter);
        boxes[i]->setAccessibleName(QStringLiteral("%1, byte %2").arg(label->text()).arg(i + 1));
    }
    for (std::size_t i = 0; i < N; ++i)
        attachEntryRule(boxes[i], rule, i + 1 < N ? boxes[i + 1] : nullptr);
}

} // namespace

frmMain::frmMain(SaxComm& comm, MessageBoxes& boxes, QWidget* parent)
    : QMainWindow(parent)
    , m_comm(comm)
    , m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Lumo Brisk Terminal"));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    buildControls(client);
    buildMenus();
    setKeyboardOrder();
    pressFocusedButtonsOnEnter(this);
    const QList<QLabel*> labels = client->findChildren<QLabel*>();
    fitFontToCaptions(client, QList<QWidget*>(labels.begin(), labels.end()));

    connect(chkDHCP, &QCheckBox::stateChanged, this, &frmMain::DHCPSwitch);
    connect(chkFTP, &QCheckBox::stateChanged, this, &frmMain::FTPSwitch);
    connect(m_menu.mnuClearForm, &QAction::triggered, this, &frmMain::ClearForm);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    const QSize clientSize(
        twipsToPixels(kClientWidth, logicalDpiX()), twipsToPixels(kClientHeight, logicalDpiY()));
    resize(clientSize.width(), clientSize.height() + menuBar()->sizeHint().height());
    if (const QScreen* s = screen())
        setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), s->availableGeometry()));
}

void frmMain::buildControls(QWidget* client)
{
    Frame1 = frame(client, QStringLiteral("Frame1"), QStringLiteral("WEB Server Setup"), 240, 1695);
    chkDHCP = ::checkBox(Frame1, QString::fromUtf16(kDhcp), QStringLiteral("DHCP enable"));
    lblIPAddress = label(
        Frame1, QStringLiteral("lblIPAddress"), QStringLiteral("IP Address"), 360, 840, 975);
    byteRow(Frame1, kIpAddress, 840, OctetRule::Decimal, lblIPAddress);
    byteRow(Frame1, kMacAddress, 1200, OctetRule::Hex,
        label(Frame1, QStringLiteral("lblMACAddress"), QStringLiteral("MAC Address (Hex)"), 360,
            1200, 1575));

    Frame2 = frame(client, QStringLiteral("Frame2"), QStringLiteral("Email Setup"), 2040, 1935);
    label(Frame2, QStringLiteral("Label3"), QStringLiteral("Sender Address"), 360, 360, 1575)
        ->setBuddy(::textBox(Frame2, kSender, 2400, 360, 2175));
    label(Frame2, QStringLiteral("Label5"), QStringLiteral("Receiver Address"), 360, 720, 1695)
        ->setBuddy(::textBox(Frame2, kReceiver, 2400, 720, 2175));
    label(Frame2, QStringLiteral("Label4"), QStringLiteral("Host"), 360, 1080, 975)
        ->setBuddy(::textBox(Frame2, kHost, 2400, 1080, 2175));
    byteRow(Frame2, kMailServerAddress, 1440, OctetRule::Decimal,
        label(Frame2, QStringLiteral("Label6"), QStringLiteral("Email server IP address"), 360,
            1440, 1695));

    Frame3 = frame(client, QStringLiteral("Frame3"), QStringLiteral("FTP Setup"), 4080, 1695);
    chkFTP = ::checkBox(Frame3, QString::fromUtf16(kFtp), QStringLiteral("FTP Enable"));
    lblUserName
        = label(Frame3, QStringLiteral("lblUserName"), QStringLiteral("User Name"), 360, 840, 1575);
    lblUserName->setBuddy(::textBox(Frame3, kUserName, 2400, 840, 2175));
    lblPassword
        = label(Frame3, QStringLiteral("lblPassword"), QStringLiteral("Password"), 360, 1200, 1575);
    lblPassword->setBuddy(::textBox(Frame3, kPassword, 2400, 1200, 2175));

    cmdWrite = placeWidget<QPushButton>(client, QStringLiteral("cmdWrite"), 3360, 5880, 1215, 495);
    cmdWrite->setText(QStringLiteral("Write"));
    cmdWrite->setToolTip(QStringLiteral("Writes current setting to the WEB server"));
    cmdWrite->setAutoDefault(false);
    cmdWrite->setDefault(false);

    for (QLineEdit* box : client->findChildren<QLineEdit*>())
        m_textBoxes.insert(box->objectName(), box);
    m_checkBoxes = { { chkDHCP->objectName(), chkDHCP }, { chkFTP->objectName(), chkFTP } };
    // DHCP starts on, so the IP address row starts greyed out.
    for (const char16_t* name : kIpAddress)
        textBox(name)->setEnabled(false);
    lblIPAddress->setEnabled(false);
}

void frmMain::buildMenus()
{
    struct Item
    {
        const char* name;
        const char* caption; // nullptr for a separator
        QAction* Menu::*slot = nullptr;
    };
    struct MenuEntry
    {
        const char* name;
        const char* caption;
        std::initializer_list<Item> items;
    };
    const std::initializer_list<MenuEntry> menus {
        { "FileMenu", "&File",
            { { "ReadFile", "&Open", &Menu::ReadFile }, { "WriteFile", "&Save", &Menu::WriteFile },
                { "menuLine1", nullptr }, { "mnuClearForm", "&Clear", &Menu::mnuClearForm },
                { "mnuLine3", nullptr }, { "ExitMenu", "E&xit", &Menu::ExitMenu } } },
        { "SettingsMenu", "&Settings", { { "RS232Menu", "RS232 &Port Setup", &Menu::RS232Menu } } },
        { "mnuTools", "&Tools", { { "mnuPing", "&Ping", &Menu::mnuPing } } },
        { "ViewMenu", "&View", { { "mnuWebBrowser", "&Web Browser", &Menu::mnuWebBrowser } } },
        { "HelpMenu", "&Help",
            { { "HelpTopicsMenu", "Help &Topics", &Menu::HelpTopicsMenu }, { "mnuLine2", nullptr },
                { "AboutMenu", "&About", &Menu::AboutMenu } } },
    };
    for (const MenuEntry& m : menus) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(m.caption));
        menu->setObjectName(QString::fromLatin1(m.name));
        for (const Item& item : m.items) {
            QAction* action = item.caption ? menu->addAction(QString::fromLatin1(item.caption))
                                           : menu->addSeparator();
            action->setObjectName(QString::fromLatin1(item.name));
            if (item.slot)
                m_menu.*item.slot = action;
        }
    }
}

void frmMain::setKeyboardOrder()
{
    QList<QWidget*> order { chkDHCP };
    for (const char16_t* name : kIpAddress)
        order << textBox(name);
    for (const char16_t* name : kMacAddress)
        order << textBox(name);
    order << textBox(kSender) << textBox(kReceiver) << textBox(kHost);
    for (const char16_t* name : kMailServerAddress)
        order << textBox(name);
    order << chkFTP << textBox(kUserName) << textBox(kPassword) << cmdWrite;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void frmMain::Load()
{
    trapAndReport(
        m_boxes, [this] { return m_comm.setSettings(QStringLiteral("9600,n,8,1")); },
        [this] { return m_comm.setCommPort(QStringLiteral("COM1")); },
        [this] { m_comm.setStartupOption(3); },
        [this] { return m_comm.portOpen() ? Failure {} : m_comm.setPortOpen(true); });
}

namespace {

// A check box's value as the settings know it: 0 cleared, 1 ticked, 2 the third state.
int valueOf(Qt::CheckState state)
{
    switch (state) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

Qt::CheckState stateOf(int value)
{
    return value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

} // namespace

ServerSettings frmMain::serverSettings() const
{
    return collectServerSettings(
        [this](const QString& name) {
            const QLineEdit* box = m_textBoxes.value(name);
            return box ? box->text() : QString();
        },
        [this](const QString& name) {
            const QCheckBox* box = m_checkBoxes.value(name);
            return box ? valueOf(box->checkState()) : 0;
        });
}

void frmMain::applySetting(const SettingsAssignment& assignment)
{
    if (const auto* text = std::get_if<QString>(&assignment.value)) {
        if (QLineEdit* box = m_textBoxes.value(assignment.control))
            box->setText(*text);
        return;
    }
    QCheckBox* box = m_checkBoxes.value(assignment.control);
    if (!box)
        return;
    const Qt::CheckState state = stateOf(std::get<int>(assignment.value));
    // The third state is never offered to the user; a settings file may still set it.
    box->setTristate(state == Qt::PartiallyChecked);
    box->setCheckState(state);
}

QStringList frmMain::ipAddressTexts() const
{
    QStringList texts;
    for (const char16_t* name : kIpAddress)
        texts.append(textBox(name)->text());
    return texts;
}

void frmMain::focusDhcpSwitch()
{
    chkDHCP->setFocus();
}

void frmMain::DHCPSwitch()
{
    // Only a ticked box counts as on; the third state counts as off.
    const bool enable = chkDHCP->checkState() != Qt::Checked;
    skipAndContinue([&] {
        for (const char16_t* name : kIpAddress)
            textBox(name)->setEnabled(enable);
        lblIPAddress->setEnabled(enable);
    });
}

void frmMain::FTPSwitch()
{
    const bool enable = chkFTP->checkState() == Qt::Checked;
    skipAndContinue([&] {
        textBox(kUserName)->setEnabled(enable);
        textBox(kPassword)->setEnabled(enable);
        lblUserName->setEnabled(enable);
        lblPassword->setEnabled(enable);
    });
}

void frmMain::ClearForm()
{
    skipAndContinue([&] { chkDHCP->setCheckState(Qt::Checked); },
        [&] {
            for (const char16_t* name : kIpAddress) {
                textBox(name)->clear();
                textBox(name)->setEnabled(false);
            }
        },
        [&] {
            for (const char16_t* name : kMacAddress)
                textBox(name)->clear();
            for (const char16_t* name : { kSender, kReceiver, kHost })
                textBox(name)->clear();
            for (const char16_t* name : kMailServerAddress)
                textBox(name)->clear();
        },
        [&] { chkFTP->setCheckState(Qt::Checked); },
        [&] {
            textBox(kUserName)->clear();
            textBox(kPassword)->clear();
        },
        [&] { chkDHCP->setFocus(); });
}

void frmMain::closeEvent(QCloseEvent* event)
{
    event->ignore();
    emit closeRequested();
}

void frmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        chkDHCP->setFocus();
    }
}
