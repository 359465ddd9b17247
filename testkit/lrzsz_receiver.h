#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

/// One of lrzsz's receivers (rz, rb, rx) waiting on a pseudo-terminal, run by socat on a
/// socketpair so that its input flushes cannot eat what the sender sent. The receiver works in
/// a folder of its own; the sender opens devicePath(). Ends with the object.
class LrzszReceiver
{
public:
    /// command: the receiver and its arguments, e.g. {"rb", "-b", "-y"}.
    explicit LrzszReceiver(const QStringList& command);
    ~LrzszReceiver();
    LrzszReceiver(const LrzszReceiver&) = delete;
    LrzszReceiver& operator=(const LrzszReceiver&) = delete;

    bool isReady() const { return m_ready; }
    QString devicePath() const { return m_dir.filePath(QStringLiteral("line")); }
    QString folder() const { return m_dir.filePath(QStringLiteral("in")); }
    /// The named file as the receiver left it; empty when it does not exist.
    QByteArray received(const QString& name) const;
    /// Waits for the receiver to end; false when it is still running after timeoutMs.
    bool waitForExit(int timeoutMs);

private:
    QTemporaryDir m_dir;
    QProcess m_socat;
    bool m_ready = false;
};
