#include "browser/frm_browser.h"

#include "browser/toolbar_icons.h"
#include "browser/web_engine_browser.h"
#include "core/browser_model.h"
#include "platform/message_boxes.h"
#include "windows/twips.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolBar>

namespace {

constexpr int kClientWidth = 6255;
constexpr int kClientHeight = 5130;
constexpr int kToolBarHeight = 540;
constexpr int kPanelTop = 540;
constexpr int kPanelHeight = 675;
constexpr int kMargin = 100;

} // namespace

frmBrowser::frmBrowser(MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmBrowser"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromUtf16(BrowserWindowModel::kInitialTitle));
    buildControls();
    m_model = new BrowserWindowModel(*m_engine, this);
    connectModel();
    resize(twipsToPixels(kClientWidth, logicalDpiX()), twipsToPixels(kClientHeight, logicalDpiY()));
}

frmBrowser::~frmBrowser() = default;

void frmBrowser::buildControls()
{
    tbToolBar = new QToolBar(this);
    tbToolBar->setObjectName(QStringLiteral("tbToolBar"));
    tbToolBar->setAccessibleName(QStringLiteral("Navigation"));
    tbToolBar->setMovable(false);
    tbToolBar->setIconSize(QSize(24, 24));
    tbToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const char16_t* name : { u"Back", u"Forward", u"Stop", u"Refresh", u"Home", u"Search" }) {
        const QString key = QString::fromUtf16(name);
        QAction* button = tbToolBar->addAction(toolbarIcon(key), key);
        button->setObjectName(key);
        button->setToolTip(key);
        connect(button, &QAction::triggered, this, [this, key] { m_model->buttonClick(key); });
    }

    picAddress = new QWidget(this);
    picAddress->setObjectName(QStringLiteral("picAddress"));
    lblAddress = new QLabel(QStringLiteral("&Address:"), picAddress);
    lblAddress->setObjectName(QStringLiteral("lblAddress"));
    lblAddress->setGeometry(twipsRect(*this, 45, 60, 3075, 255));
    cboAddress = new QComboBox(picAddress);
    cboAddress->setObjectName(QStringLiteral("cboAddress"));
    cboAddress->setEditable(true);
    cboAddress->resize(cboAddress->sizeHint());
    // The list is kept by the window's own rules: the box neither adds typed text to it nor
    // completes what is typed from it.
    cboAddress->setInsertPolicy(QComboBox::NoInsert);
    cboAddress->setCompleter(nullptr);
    // Nor does it select the entry that matches the text when editing ends (Enter, or the focus
    // leaving): that selection would navigate a second time after Enter.
    QObject::disconnect(cboAddress->lineEdit(), &QLineEdit::editingFinished, cboAddress, nullptr);
    cboAddress->lineEdit()->installEventFilter(this);
    lblAddress->setBuddy(cboAddress);

    if (const Result<> available = webEngineAvailable(); !available.ok()) {
        m_unavailableEngine = std::make_unique<UnavailableBrowser>(available.error());
        m_engine = m_unavailableEngine.get();
        brwWebBrowser = new QWidget(this);
    } else {
        allowWebEngineAsRoot();
        auto* view = new WebEngineBrowser(this);
        m_engine = view;
        brwWebBrowser = view;
    }
    brwWebBrowser->setObjectName(QStringLiteral("brwWebBrowser"));
    brwWebBrowser->setAccessibleName(QStringLiteral("Page"));
    brwWebBrowser->setGeometry(twipsRect(*this, 120, 1320, 5400, 3735));

    timTimer = new QTimer(this);
    timTimer->setObjectName(QStringLiteral("timTimer"));
    timTimer->setInterval(5);
}

void frmBrowser::connectModel()
{
    connect(m_model, &BrowserWindowModel::titleChanged, this, &QWidget::setWindowTitle);
    connect(m_model, &BrowserWindowModel::timerEnabledChanged, timTimer,
        [this](bool enabled) { enabled ? timTimer->start() : timTimer->stop(); });
    connect(m_model, &BrowserWindowModel::addressBoxChanged, this, &frmBrowser::showAddressBox);
    connect(timTimer, &QTimer::timeout, m_model, &BrowserWindowModel::timerTick);
    connect(cboAddress, &QComboBox::activated, m_model, &BrowserWindowModel::addressSelected);
    connect(cboAddress->lineEdit(), &QLineEdit::textEdited, m_model,
        &BrowserWindowModel::addressEdited);
    if (auto* view = qobject_cast<WebEngineBrowser*>(brwWebBrowser)) {
        connect(view, &QWebEngineView::urlChanged, m_model, [this](const QUrl& url) {
            if (!url.isEmpty())
                m_model->navigateComplete();
        });
        connect(
            view, &QWebEngineView::loadFinished, m_model, &BrowserWindowModel::downloadComplete);
        connect(
            view, &QWebEngineView::titleChanged, m_model, &BrowserWindowModel::downloadComplete);
    }
}

QString frmBrowser::StartingAddress() const
{
    return m_model->startingAddress();
}

void frmBrowser::setStartingAddress(const QString& address)
{
    m_model->setStartingAddress(address);
    if (auto* view = qobject_cast<WebEngineBrowser*>(brwWebBrowser))
        view->setHomeAddress(address);
}

void frmBrowser::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_loaded) {
        m_loaded = true;
        Load();
    }
}

void frmBrowser::Load()
{
    applyResizeRule();
    const QRect label = lblAddress->geometry();
    cboAddress->move(twipsToPixels(50, logicalDpiX()),
        label.y() + label.height() + twipsToPixels(15, logicalDpiY()));
    if (!m_model->load().ok())
        m_boxes.showMessage(QString::fromUtf16(kLoadFailureMessage));
}

void frmBrowser::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    applyResizeRule();
}

void frmBrowser::applyResizeRule()
{
    // The toolbar and the address panel stay across the top at the window's full width.
    const QRect toolBar = twipsRect(*this, 0, 0, 0, kToolBarHeight);
    tbToolBar->setGeometry(0, 0, width(), toolBar.height());
    const QRect panel = twipsRect(*this, 0, kPanelTop, 0, kPanelHeight);
    picAddress->setGeometry(0, panel.y(), width(), panel.height());

    const BrowserSizes sizes = browserSizes(
        width(), height(), panel.y() + panel.height(), twipsToPixels(kMargin, logicalDpiX()));
    if (sizes.addressWidth)
        cboAddress->resize(*sizes.addressWidth, cboAddress->height());
    if (sizes.browserWidth)
        brwWebBrowser->resize(*sizes.browserWidth, brwWebBrowser->height());
    if (sizes.browserHeight)
        brwWebBrowser->resize(brwWebBrowser->width(), *sizes.browserHeight);
}

void frmBrowser::showAddressBox()
{
    const QSignalBlocker blocker(cboAddress);
    cboAddress->clear();
    cboAddress->addItems(m_model->history());
    cboAddress->setCurrentIndex(m_model->listIndex());
    cboAddress->setEditText(m_model->addressText());
}

bool frmBrowser::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == cboAddress->lineEdit() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            m_model->addressKeyPress(13);
    }
    return QWidget::eventFilter(watched, event);
}
