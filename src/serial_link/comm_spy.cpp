#include "serial_link/comm_spy.h"

#include <utility>

CommSpy::CommSpy(QString logPath)
    : m_log(std::move(logPath))
{ }

void CommSpy::setEnabled(bool on)
{
    if (!on && m_enabled)
        log(LogSwitch::Properties, QStringLiteral("CommSpy = off"));
    m_enabled = on;
    if (on)
        log(LogSwitch::Properties, QStringLiteral("CommSpy = on"));
    else
        m_log.close();
}

void CommSpy::setLogSwitch(LogSwitch which, bool on)
{
    m_switches[index(which)] = on;
    log(LogSwitch::Properties,
        QStringLiteral("log %1 = %2")
            .arg(CommSpyLog::kindName(which), on ? QStringLiteral("on") : QStringLiteral("off")));
}

void CommSpy::log(LogSwitch kind, const QString& text)
{
    if (logging(kind))
        m_log.record(kind, text);
}

void CommSpy::logBytes(LogSwitch kind, const QByteArray& bytes)
{
    if (logging(kind))
        m_log.recordBytes(kind, bytes);
}
