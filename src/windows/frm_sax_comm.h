#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class FileTransfer;
class QLabel;
class QProgressBar;
class QPushButton;

/// "File Transfer Status": the serial control's window, which follows every transfer: shown when
/// one begins and until the user closes it, its Cancel button ends the transfer. It never takes
/// the keyboard focus from the window the user works in.
class frmSaxComm : public QWidget
{
    Q_OBJECT

public:
    explicit frmSaxComm(FileTransfer& transfer, QWidget* parent = nullptr);

    /// Shows the window for a new transfer.
    void begin(const QString& fileName, const QString& protocol, qint64 total);
    void setProgress(qint64 acknowledged, qint64 total);
    /// Shows the outcome; the Cancel button becomes Close.
    void finish(const QString& outcome);
    /// Tells the user something beside the outcome: a transfer command turned down while this
    /// transfer runs, or what to do after a failure.
    void showNotice(const QString& text);

    /// The texts the user reads, by label: "file", "protocol", "rate", "elapsed", "outcome",
    /// "notice".
    QString text(const QString& what) const;

protected:
    bool event(QEvent* event) override;

private:
    void tick();
    void showQuietly();

    QLabel* lblFile = nullptr;
    QLabel* lblProtocol = nullptr;
    QProgressBar* prgTransfer = nullptr;
    QLabel* lblRate = nullptr;
    QLabel* lblElapsed = nullptr;
    QLabel* lblOutcome = nullptr;
    QLabel* lblNotice = nullptr;
    QPushButton* cmdCancel = nullptr;

    // The window that had the keyboard when this one was shown: some window systems activate
    // every window shown, and this one gives the activation straight back.
    QPointer<QWidget> m_focusOwner;
    QElapsedTimer m_clock;
    QTimer m_tick;
    qint64 m_acknowledged = 0;
    bool m_running = false;
};
