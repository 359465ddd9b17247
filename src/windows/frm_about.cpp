#include "windows/frm_about.h"

#include "core/handler_policy.h"
#include "platform/get_key_value.h"
#include "platform/message_boxes.h"
#include "platform/process_launcher.h"
#include "platform/registry.h"
#include "platform/system_directory.h"
#include "windows/button_keys.h"
#include "windows/fixed_layout.h"
#include "windows/frm_main.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>

namespace {

constexpr int kClientWidth = 5865;
constexpr int kClientHeight = 3630;

/// The etched separator: a grey line with a white line two pixels wide just below it.
class EtchedLine final : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        // Laid out in twips from this widget's corner, at (225, 2430) in the window.
        QPainter painter(this);
        const QRect grey = twipsRect(*this, 0, 0, 5657 - 225, 0);
        const QRect white = twipsRect(*this, 240 - 225, 15, 5657 - 240, 0);
        painter.fillRect(grey.x(), grey.y(), grey.width(), 1, QColor(128, 128, 128));
        painter.fillRect(white.x(), white.y(), white.width(), 2, Qt::white);
    }
};

QLabel* label(QWidget* container, const QString& name, int left, int top, int width, int height)
{
    auto* l = placeWidget<QLabel>(container, name, left, top, width, height);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setWordWrap(true);
    return l;
}

} // namespace

frmAbout::frmAbout(const AboutPlatform& platform, QWidget* parent)
    : QDialog(parent)
    , m_platform(platform)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About Lumo Brisk Terminal"));
    setFixedSize(
        twipsToPixels(kClientWidth, logicalDpiX()), twipsToPixels(kClientHeight, logicalDpiY()));
    buildControls();
    pressFocusedButtonsOnEnter(this);
    Load();
}

void frmAbout::buildControls()
{
    picIcon = placeWidget<QLabel>(this, QStringLiteral("picIcon"), 240, 240, 540, 540);
    picIcon->setAccessibleName(QStringLiteral("Lumo Brisk Terminal icon"));
    const QIcon icon = QApplication::windowIcon().isNull()
        ? style()->standardIcon(QStyle::SP_ComputerIcon)
        : QApplication::windowIcon();
    // The style's stand-in may come in a smaller size only.
    picIcon->setPixmap(
        icon.pixmap(32, 32).scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    lblTitle = label(this, QStringLiteral("lblTitle"), 1050, 240, 4092, 480);
    lblVersion = label(this, QStringLiteral("lblVersion"), 1050, 780, 4092, 225);
    lblDescription = label(this, QStringLiteral("lblDescription"), 1050, 1125, 4092, 1170);
    lblDescription->setText(QStringLiteral("Lumo Brisk Terminal"));

    auto* line = placeWidget<EtchedLine>(this, QStringLiteral("Line1"), 225, 2430, 5657 - 225, 45);
    line->setAttribute(Qt::WA_TransparentForMouseEvents);

    lblDisclaimer = label(this, QStringLiteral("lblDisclaimer"), 255, 2625, 3870, 825);
    lblDisclaimer->setText(
        QStringLiteral("Copyright \u00a9 The Zelvic developers. All rights reserved."));

    cmdOK = placeWidget<QPushButton>(this, QStringLiteral("cmdOK"), 4245, 2625, 1467, 345);
    cmdOK->setText(QStringLiteral("OK"));
    cmdOK->setDefault(true);
    // Escape rejects the dialog, which closes it as OK does.
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    cmdSysInfo
        = placeWidget<QPushButton>(this, QStringLiteral("cmdSysInfo"), 4260, 3075, 1452, 345);
    cmdSysInfo->setText(QStringLiteral("&System Info..."));
    cmdSysInfo->setAutoDefault(false);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);
}

void frmAbout::Load()
{
    skipAndContinue(
        [this] { lblVersion->setText(QStringLiteral("Version ") + QString::fromUtf16(kVersion)); },
        [this] { lblTitle->setText(QStringLiteral("Lumo Brisk Terminal")); });
}

void frmAbout::StartSysInfo()
{
    const Result<> started = [this]() -> Result<> {
        QString toolPath;
        Result<bool> read = GetKeyValue(m_platform.registry, Registry::kLocalMachine,
            QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), QStringLiteral("PATH"),
            toolPath);
        if (!read.ok())
            return Failure { read.error() };
        if (!read.value()) {
            QString folder;
            read = GetKeyValue(m_platform.registry, Registry::kLocalMachine,
                QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                QStringLiteral("MSINFO"), folder);
            if (!read.ok())
                return Failure { read.error() };
            // Only a folder is tested for the tool; a full path is started as it is.
            const std::optional<QString> tool = read.value()
                ? m_platform.system.findFile(folder + QStringLiteral("\\MSINFO32.EXE"))
                : std::nullopt;
            if (!tool)
                return Failure { QString::fromUtf16(kUnavailableMessage) };
            toolPath = *tool;
        }
        return m_platform.launcher.start(toolPath, {});
    }();
    if (!started.ok())
        m_platform.boxes.showMessage(QString::fromUtf16(kUnavailableMessage));
}

AboutCommand::AboutCommand(frmMain& mainWindow, const AboutPlatform& platform)
    : m_mainWindow(mainWindow)
    , m_platform(platform)
{
    QObject::connect(
        m_mainWindow.menu().AboutMenu, &QAction::triggered, &m_mainWindow, [this] { About(); });
}

void AboutCommand::About()
{
    if (!m_window)
        m_window = new frmAbout(m_platform, &m_mainWindow);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
