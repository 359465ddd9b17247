#include "app/transfer_console.h"

#include "serial_link/file_transfer.h"

#include <QTextStream>

namespace {

// A log or pipe gets no more than a line a second, so that a long upload stays readable; a
// terminal's line is rewritten no more often than the eye follows.
constexpr qint64 kPlainLineIntervalMs = 1000;
constexpr qint64 kRewriteIntervalMs = 100;
// On a terminal the rate and elapsed time move on even while no block is acknowledged, as in
// the status window.
constexpr int kTickMs = 500;

// Back to the start of the line, and the rest of the line erased once the text is written.
constexpr QStringView kRewrite = u"\r";
constexpr QStringView kEraseToEnd = u"\x1b[K";

} // namespace

TransferConsole::TransferConsole(
    FileTransfer& transfer, QTextStream& stream, bool interactive, QObject* parent)
    : QObject(parent)
    , m_stream(stream)
    , m_interactive(interactive)
{
    m_tick.setInterval(kTickMs);
    connect(&m_tick, &QTimer::timeout, this, &TransferConsole::showProgress);
    connect(&transfer, &FileTransfer::started, this, &TransferConsole::begin);
    connect(&transfer, &FileTransfer::progress, this, &TransferConsole::setProgress);
    connect(&transfer, &FileTransfer::finished, this,
        [this](bool, const QString& outcome) { finish(outcome); });
    connect(&transfer, &FileTransfer::notice, this, &TransferConsole::printLine);
}

void TransferConsole::begin(const QString& fileName, const QString& protocol, qint64 total)
{
    m_running = true;
    m_acknowledged = 0;
    m_total = total;
    m_clock.start();
    m_sinceLine.invalidate();
    printLine(
        QStringLiteral("Sending %1 (%2 bytes) with %3").arg(fileName).arg(total).arg(protocol));
    if (m_interactive) {
        showProgress();
        m_tick.start();
    }
}

void TransferConsole::setProgress(qint64 acknowledged, qint64 total)
{
    m_acknowledged = acknowledged;
    m_total = total;
    if (!m_sinceLine.isValid()
        || m_sinceLine.hasExpired(m_interactive ? kRewriteIntervalMs : kPlainLineIntervalMs))
        showProgress();
}

void TransferConsole::finish(const QString& outcome)
{
    if (m_running && m_interactive)
        showProgress();
    m_running = false;
    m_tick.stop();
    printLine(outcome);
}

void TransferConsole::printLine(const QString& text)
{
    // A progress line being rewritten is left as it stands, and the text goes below it.
    if (m_progressShown)
        m_stream << '\n';
    m_progressShown = false;
    m_stream << text << '\n' << Qt::flush;
}

void TransferConsole::showProgress()
{
    if (!m_running)
        return;
    const qint64 ms = m_clock.elapsed();
    const QString text = QStringLiteral("%1 of %2 bytes, %3, %4")
                             .arg(m_acknowledged)
                             .arg(m_total)
                             .arg(transferRate(m_acknowledged, ms), transferSeconds(ms));
    if (m_interactive)
        m_stream << kRewrite << text << kEraseToEnd << Qt::flush;
    else
        m_stream << text << '\n' << Qt::flush;
    m_progressShown = m_interactive;
    m_sinceLine.start();
}
