#pragma once

#include <QList>
#include <QString>

/// A serial port the system reports: its device path and what is known of the device behind it
/// (description, maker, serial number), empty when nothing is.
struct SerialPortEntry
{
    QString path;
    QString description;

    bool operator==(const SerialPortEntry&) const = default;
};

/// The serial ports present on the machine now; adapters come and go while the program runs.
class SerialPortList
{
public:
    virtual ~SerialPortList() = default;
    virtual QList<SerialPortEntry> ports() const = 0;
};
