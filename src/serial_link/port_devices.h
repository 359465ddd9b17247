#pragma once

#include "platform/device_choices.h"
#include "platform/serial_port_list.h"
#include "serial_link/port_names.h"

#include <QHash>
#include <QProcessEnvironment>

/// What the device behind a port name is chosen from.
struct DeviceSources
{
    QProcessEnvironment environment;
    /// The serial ports present; none are detected without it.
    const SerialPortList* ports = nullptr;
    /// The devices chosen in earlier runs; nothing is kept from run to run without it.
    DeviceChoices* choices = nullptr;
};

/// The devices behind the port names, as deviceForPortName() maps them, and the choices made in
/// this run: they last until the program ends, and are kept for the next runs once a port has
/// opened on them.
class PortDevices
{
public:
    explicit PortDevices(DeviceSources sources);

    PortDevice deviceFor(const QString& portName) const;
    QList<SerialPortEntry> detectedPorts() const;

    /// Chooses the device behind the port name for the rest of this run.
    void choose(const QString& portName, const QString& devicePath);
    /// Keeps this run's choice for the port name for the next runs, unless it is kept already.
    Result<> keep(const QString& portName);

private:
    DeviceSources m_sources;
    QHash<QString, QString> m_chosen;
};
