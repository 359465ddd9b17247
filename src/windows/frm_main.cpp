#include "windows/frm_main.h"

#include "core/address_rows.h"
#include "core/handler_policy.h"
#include "platform/message_boxes.h"
#include "serial_link/sax_comm.h"
#include "windows/address_field.h"
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

const QStringList kIpBoxes { QStringLiteral("txtIpAddress"), QStringLiteral("txtIpAddress2"),
    QStringLiteral("txtIpAddress3"), QStringLiteral("txtIpAddress4") };
const QStringList kMacBoxes { QStringLiteral("txtMacAddress"), QStringLiteral("txtMacAddress2"),
    QStringLiteral("txtMacAddress3"), QStringLiteral("txtMacAddress4"),
    QStringLiteral("txtMacAddress5"), QStringLiteral("txtMacAddress6") };
const QStringList kMailServerBoxes { QStringLiteral("txtEmailServerAddress"),
    QStringLiteral("txtEmailServerAddress2"), QStringLiteral("txtEmailServerAddress3"),
    QStringLiteral("txtEmailServerAddress4") };

QLabel* label(
    QWidget* container, const QString& name, const QString& caption, int left, int top, int width)
{
    auto* l = placeWidget<QLabel>(container, name, left, top, width, kBoxHeight);
    l->setText(caption);
    return l;
}

QLineEdit* textBox(QWidget* container, const QString& name, int left, int top, int width)
{
    return placeWidget<QLineEdit>(container, name, left, top, width, kBoxHeight);
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

void byteRow(QWidget* container, const QStringList& names, int top)
{
    for (int i = 0; i < names.size(); ++i) {
        QLineEdit* box = textBox(container, names[i], 2400 + i * kByteBoxPitch, top, kByteBoxWidth);
        box->setAlignment(Qt::AlignCenter);
    }
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
    const QList<QLabel*> labels = client->findChildren<QLabel*>();
    fitFontToCaptions(client, QList<QWidget*>(labels.begin(), labels.end()));

    for (const AddressBoxEntry& entry : kAddressFields) {
        attachEntryRule(textBox(QString::fromLatin1(entry.name)), entry.rule,
            entry.next ? textBox(QString::fromLatin1(entry.next)) : nullptr);
    }
    connect(chkDHCP, &QCheckBox::stateChanged, this, &frmMain::DHCPSwitch);
    connect(chkFTP, &QCheckBox::stateChanged, this, &frmMain::FTPSwitch);
    connect(
        menuItem(QStringLiteral("mnuClearForm")), &QAction::triggered, this, &frmMain::ClearForm);

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
    chkDHCP = ::checkBox(Frame1, QStringLiteral("chkDHCP"), QStringLiteral("DHCP enable"));
    lblIPAddress = label(
        Frame1, QStringLiteral("lblIPAddress"), QStringLiteral("IP Address"), 360, 840, 975);
    byteRow(Frame1, kIpBoxes, 840);
    label(Frame1, QStringLiteral("lblMACAddress"), QStringLiteral("MAC Address (Hex)"), 360, 1200,
        1575);
    byteRow(Frame1, kMacBoxes, 1200);

    Frame2 = frame(client, QStringLiteral("Frame2"), QStringLiteral("Email Setup"), 2040, 1935);
    label(Frame2, QStringLiteral("Label3"), QStringLiteral("Sender Address"), 360, 360, 1575);
    ::textBox(Frame2, QStringLiteral("txtSenderAddress"), 2400, 360, 2175);
    label(Frame2, QStringLiteral("Label5"), QStringLiteral("Receiver Address"), 360, 720, 1695);
    ::textBox(Frame2, QStringLiteral("txtReceiverAddress"), 2400, 720, 2175);
    label(Frame2, QStringLiteral("Label4"), QStringLiteral("Host"), 360, 1080, 975);
    ::textBox(Frame2, QStringLiteral("txtHost"), 2400, 1080, 2175);
    label(Frame2, QStringLiteral("Label6"), QStringLiteral("Email server IP address"), 360, 1440,
        1695);
    byteRow(Frame2, kMailServerBoxes, 1440);

    Frame3 = frame(client, QStringLiteral("Frame3"), QStringLiteral("FTP Setup"), 4080, 1695);
    chkFTP = ::checkBox(Frame3, QStringLiteral("chkFTP"), QStringLiteral("FTP Enable"));
    lblUserName
        = label(Frame3, QStringLiteral("lblUserName"), QStringLiteral("User Name"), 360, 840, 1575);
    ::textBox(Frame3, QStringLiteral("txtUserName"), 2400, 840, 2175);
    lblPassword
        = label(Frame3, QStringLiteral("lblPassword"), QStringLiteral("Password"), 360, 1200, 1575);
    ::textBox(Frame3, QStringLiteral("txtPassword"), 2400, 1200, 2175);

    cmdWrite = placeWidget<QPushButton>(client, QStringLiteral("cmdWrite"), 3360, 5880, 1215, 495);
    cmdWrite->setText(QStringLiteral("Write"));
    cmdWrite->setToolTip(QStringLiteral("Writes current setting to the WEB server"));
    cmdWrite->setAutoDefault(false);
    cmdWrite->setDefault(false);

    // DHCP starts on, so the IP address row starts greyed out.
    for (const QString& name : kIpBoxes)
        textBox(name)->setEnabled(false);
    lblIPAddress->setEnabled(false);
}

void frmMain::buildMenus()
{
    struct Item
    {
        const char* name;
        const char* caption; // nullptr for a separator
    };
    struct Menu
    {
        const char* name;
        const char* caption;
        std::initializer_list<Item> items;
    };
    const std::initializer_list<Menu> menus {
        { "FileMenu", "&File",
            { { "ReadFile", "&Open" }, { "WriteFile", "&Save" }, { "menuLine1", nullptr },
                { "mnuClearForm", "&Clear" }, { "mnuLine3", nullptr }, { "ExitMenu", "E&xit" } } },
        { "SettingsMenu", "&Settings", { { "RS232Menu", "RS232 &Port Setup" } } },
        { "mnuTools", "&Tools", { { "mnuPing", "&Ping" } } },
        { "ViewMenu", "&View", { { "mnuWebBrowser", "&Web Browser" } } },
        { "HelpMenu", "&Help",
            { { "HelpTopicsMenu", "Help &Topics" }, { "mnuLine2", nullptr },
                { "AboutMenu", "&About" } } },
    };
    for (const Menu& m : menus) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(m.caption));
        menu->setObjectName(QString::fromLatin1(m.name));
        for (const Item& item : m.items) {
            QAction* action = item.caption ? menu->addAction(QString::fromLatin1(item.caption))
                                           : menu->addSeparator();
            action->setObjectName(QString::fromLatin1(item.name));
        }
    }
}

void frmMain::setKeyboardOrder()
{
    QStringList order { QStringLiteral("chkDHCP") };
    order << kIpBoxes << kMacBoxes << QStringLiteral("txtSenderAddress")
          << QStringLiteral("txtReceiverAddress") << QStringLiteral("txtHost") << kMailServerBoxes
          << QStringLiteral("chkFTP") << QStringLiteral("txtUserName")
          << QStringLiteral("txtPassword") << QStringLiteral("cmdWrite");
    for (qsizetype i = 1; i < order.size(); ++i) {
        setTabOrder(findChild<QWidget*>(order[i - 1]), findChild<QWidget*>(order[i]));
    }
}

void frmMain::Load()
{
    trapAndReport(
        m_boxes, [this] { return m_comm.setSettings(QStringLiteral("9600,n,8,1")); },
        [this] { return m_comm.setCommPort(QStringLiteral("COM1")); },
        [this] { m_comm.setStartupOption(3); },
        [this] { return m_comm.portOpen() ? Failure {} : m_comm.setPortOpen(true); });
}

QAction* frmMain::menuItem(const QString& objectName) const
{
    return findChild<QAction*>(objectName);
}

QLineEdit* frmMain::textBox(const QString& name) const
{
    return findChild<QLineEdit*>(name);
}

QCheckBox* frmMain::checkBox(const QString& name) const
{
    return findChild<QCheckBox*>(name);
}

QString frmMain::text(const QString& controlName) const
{
    const QLineEdit* box = textBox(controlName);
    return box ? box->text() : QString();
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

int frmMain::checkValue(const QString& controlName) const
{
    const QCheckBox* box = checkBox(controlName);
    return box ? valueOf(box->checkState()) : 0;
}

void frmMain::setText(const QString& controlName, const QString& text)
{
    if (QLineEdit* box = textBox(controlName))
        box->setText(text);
}

void frmMain::setCheckValue(const QString& controlName, int value)
{
    if (QCheckBox* box = checkBox(controlName)) {
        // The third state is never offered to the user; code may still set it.
        box->setTristate(stateOf(value) == Qt::PartiallyChecked);
        box->setCheckState(stateOf(value));
    }
}

void frmMain::DHCPSwitch()
{
    // Only a ticked box counts as on; the third state counts as off.
    const bool enable = chkDHCP->checkState() != Qt::Checked;
    skipAndContinue([&] {
        for (const QString& name : kIpBoxes)
            textBox(name)->setEnabled(enable);
        lblIPAddress->setEnabled(enable);
    });
}

void frmMain::FTPSwitch()
{
    const bool enable = chkFTP->checkState() == Qt::Checked;
    skipAndContinue([&] {
        textBox(QStringLiteral("txtUserName"))->setEnabled(enable);
        textBox(QStringLiteral("txtPassword"))->setEnabled(enable);
        lblUserName->setEnabled(enable);
        lblPassword->setEnabled(enable);
    });
}

void frmMain::ClearForm()
{
    skipAndContinue([&] { chkDHCP->setCheckState(Qt::Checked); },
        [&] {
            for (const QString& name : kIpBoxes) {
                textBox(name)->clear();
                textBox(name)->setEnabled(false);
            }
        },
        [&] {
            const QStringList emptied = kMacBoxes
                + QStringList { QStringLiteral("txtSenderAddress"),
                      QStringLiteral("txtReceiverAddress"), QStringLiteral("txtHost") }
                + kMailServerBoxes;
            for (const QString& name : emptied)
                textBox(name)->clear();
        },
        [&] { chkFTP->setCheckState(Qt::Checked); },
        [&] {
            textBox(QStringLiteral("txtUserName"))->clear();
            textBox(QStringLiteral("txtPassword"))->clear();
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
