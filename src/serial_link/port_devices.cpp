#include "serial_link/port_devices.h"

#include <QFileInfo>

#include <utility>

PortDevices::PortDevices(DeviceSources sources)
    : m_sources(std::move(sources))
{ }

PortDevice PortDevices::deviceFor(const QString& portName) const
{
    DeviceCandidates candidates { m_chosen.value(portName), {}, {} };
    if (m_sources.choices)
        candidates.kept = m_sources.choices->device(portName);
    for (const SerialPortEntry& entry : detectedPorts())
        candidates.detected.append(entry.path);
    return deviceForPortName(portName, m_sources.environment, candidates,
        [](const QString& path) { return QFileInfo::exists(path); });
}

QList<SerialPortEntry> PortDevices::detectedPorts() const
{
    return m_sources.ports ? m_sources.ports->ports() : QList<SerialPortEntry>();
}

void PortDevices::choose(const QString& portName, const QString& devicePath)
{
    m_chosen.insert(portName, devicePath);
}

Result<> PortDevices::keep(const QString& portName)
{
    const QString chosen = m_chosen.value(portName);
    if (!m_sources.choices || chosen.isEmpty() || m_sources.choices->device(portName) == chosen)
        return {};
    return m_sources.choices->keep(portName, chosen);
}
