#pragma once

#include "core/result.h"

#include <QString>

/// The device the user chose for each port name ("COM1"), kept from one run to the next as the
/// system keeps its numbering of serial ports.
class DeviceChoices
{
public:
    virtual ~DeviceChoices() = default;
    /// The device kept for the port name; empty when none is.
    virtual QString device(const QString& portName) const = 0;
    /// Keeps the device for the port name, for this run and the next ones.
    virtual Result<> keep(const QString& portName, const QString& devicePath) = 0;
};
