#pragma once

#include "serial_link/comm_spy_log.h"

#include <QByteArray>
#include <QString>

#include <array>

/// The serial control's CommSpy: the master switch, one switch for each kind of record, and the
/// log they write to. Nothing is recorded while the master switch is off.
class CommSpy
{
public:
    explicit CommSpy(QString logPath = CommSpyLog::defaultPath());

    bool enabled() const { return m_enabled; }
    void setEnabled(bool on);
    bool logSwitch(LogSwitch which) const { return m_switches[index(which)]; }
    void setLogSwitch(LogSwitch which, bool on);
    /// Where the log is written.
    QString logPath() const { return m_log.path(); }

    void log(LogSwitch kind, const QString& text);
    void logBytes(LogSwitch kind, const QByteArray& bytes);

private:
    static std::size_t index(LogSwitch which) { return static_cast<std::size_t>(which); }
    bool logging(LogSwitch kind) const { return m_enabled && logSwitch(kind); }

    bool m_enabled = false;
    std::array<bool, 5> m_switches {};
    CommSpyLog m_log;
};
