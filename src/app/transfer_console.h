#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class FileTransfer;
class QTextStream;

/// Follows a transfer on a text stream (standard error), as the status window follows it on the
/// screen and in its words: the file and protocol, the progress (bytes acknowledged of the total,
/// rate, elapsed), the outcome and any notice. On a terminal the progress is one line that
/// rewrites itself; elsewhere (a log, a pipe) it is plain lines, at most one a second.
class TransferConsole : public QObject
{
    Q_OBJECT

public:
    /// interactive: the stream is a terminal's.
    TransferConsole(
        FileTransfer& transfer, QTextStream& stream, bool interactive, QObject* parent = nullptr);

private:
    void begin(const QString& fileName, const QString& protocol, qint64 total);
    void setProgress(qint64 acknowledged, qint64 total);
    void finish(const QString& outcome);
    void printLine(const QString& text);
    void showProgress();

    QTextStream& m_stream;
    bool m_interactive = false;
    bool m_running = false;
    bool m_progressShown = false;
    QElapsedTimer m_clock;
    QElapsedTimer m_sinceLine;
    QTimer m_tick;
    qint64 m_acknowledged = 0;
    qint64 m_total = 0;
};
