#include "windows/frm_sax_comm.h"

#include "serial_link/file_transfer.h"

#include <QApplication>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* valueLabel(QWidget* parent, const QString& name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    return label;
}

} // namespace

frmSaxComm::frmSaxComm(FileTransfer& transfer, QWidget* parent)
    : QWidget(parent,
        Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("frmSaxComm"));
    setWindowTitle(QStringLiteral("File Transfer Status"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);

    lblFile = valueLabel(this, QStringLiteral("lblFile"));
    lblProtocol = valueLabel(this, QStringLiteral("lblProtocol"));
    prgTransfer = new QProgressBar(this);
    prgTransfer->setObjectName(QStringLiteral("prgTransfer"));
    lblRate = valueLabel(this, QStringLiteral("lblRate"));
    lblElapsed = valueLabel(this, QStringLiteral("lblElapsed"));
    lblOutcome = valueLabel(this, QStringLiteral("lblOutcome"));
    lblNotice = valueLabel(this, QStringLiteral("lblNotice"));
    lblNotice->setWordWrap(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setFocusPolicy(Qt::NoFocus);

    auto* form = new QFormLayout;
    // A screen reader announces each value by its row's caption.
    const auto row = [form](const QString& caption, QWidget* value) {
        form->addRow(caption + u':', value);
        value->setAccessibleName(caption);
    };
    row(QStringLiteral("File"), lblFile);
    row(QStringLiteral("Protocol"), lblProtocol);
    row(QStringLiteral("Progress"), prgTransfer);
    row(QStringLiteral("Rate"), lblRate);
    row(QStringLiteral("Elapsed"), lblElapsed);
    row(QStringLiteral("Outcome"), lblOutcome);
    lblNotice->setAccessibleName(QStringLiteral("Notice"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lblNotice);
    layout->addLayout(buttons);
    setMinimumWidth(360);

    m_tick.setInterval(500);
    connect(&m_tick, &QTimer::timeout, this, &frmSaxComm::tick);
    connect(cmdCancel, &QPushButton::clicked, this, [this, &transfer] {
        if (m_running)
            transfer.cancel(QStringLiteral("cancelled by user"));
        else
            close();
    });
    connect(&transfer, &FileTransfer::started, this, &frmSaxComm::begin);
    connect(&transfer, &FileTransfer::progress, this, &frmSaxComm::setProgress);
    connect(&transfer, &FileTransfer::finished, this,
        [this](bool, const QString& outcome) { finish(outcome); });
    connect(&transfer, &FileTransfer::notice, this, &frmSaxComm::showNotice);
}

void frmSaxComm::begin(const QString& fileName, const QString& protocol, qint64 total)
{
    m_running = true;
    m_acknowledged = 0;
    m_clock.start();
    lblFile->setText(QStringLiteral("%1 (%2 bytes)").arg(fileName).arg(total));
    lblProtocol->setText(protocol);
    lblOutcome->setText(QStringLiteral("Sending"));
    lblNotice->clear();
    cmdCancel->setText(QStringLiteral("Cancel"));
    setProgress(0, total);
    tick();
    m_tick.start();
    showQuietly();
}

void frmSaxComm::setProgress(qint64 acknowledged, qint64 total)
{
    m_acknowledged = acknowledged;
    // The bar counts in whole percent of the file: a progress bar holds an int only.
    prgTransfer->setRange(0, 100);
    prgTransfer->setValue(total > 0 ? int(acknowledged * 100 / total) : 0);
    prgTransfer->setFormat(QStringLiteral("%1 of %2 bytes").arg(acknowledged).arg(total));
}

void frmSaxComm::finish(const QString& outcome)
{
    tick();
    m_running = false;
    m_tick.stop();
    lblOutcome->setText(outcome);
    cmdCancel->setText(QStringLiteral("Close"));
    showQuietly();
}

void frmSaxComm::showNotice(const QString& text)
{
    lblNotice->setText(text);
    showQuietly();
}

QString frmSaxComm::text(const QString& what) const
{
    const QLabel* label
        = findChild<QLabel*>(QStringLiteral("lbl") + what.left(1).toUpper() + what.mid(1));
    return label ? label->text() : QString();
}

void frmSaxComm::tick()
{
    if (!m_running)
        return;
    const qint64 ms = m_clock.elapsed();
    lblElapsed->setText(transferSeconds(ms));
    lblRate->setText(transferRate(m_acknowledged, ms));
}

void frmSaxComm::showQuietly()
{
    if (isVisible())
        return;
    QWidget* active = QApplication::activeWindow();
    m_focusOwner = active != this ? active : nullptr;
    show();
}

bool frmSaxComm::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && m_focusOwner && m_focusOwner->isVisible())
        m_focusOwner->activateWindow();
    return QWidget::event(event);
}
