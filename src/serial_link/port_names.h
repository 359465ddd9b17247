#pragma once

#include "platform/serial_device.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

/// Where the machine's own serial ports live: port COMn is this prefix followed by n-1.
inline constexpr QStringView kSerialDevicePrefix = u"/dev/ttyS";

/// Where the device behind a port name comes from.
enum class DeviceOrigin {
    Environment, ///< the variable ZELVIC_COMn
    Choice, ///< chosen in the RS232 dialog, in this run or an earlier one
    Adapter, ///< the nth USB serial adapter present
    Machine, ///< the machine's own port n-1
    Named, ///< the port name is a device name or path of its own
};

struct PortDevice
{
    QString path;
    DeviceOrigin origin = DeviceOrigin::Named;

    bool operator==(const PortDevice&) const = default;
};

/// What a port name's device may be chosen from besides the environment.
struct DeviceCandidates
{
    QString chosen; ///< chosen in this run: used whether or not it exists, so that it fails aloud
    QString kept; ///< kept from an earlier run: used only while it exists
    QStringList detected; ///< the paths of the serial ports present
};

/// The device behind a port name. "COMn" is, in this order: the device the environment variable
/// ZELVIC_COMn names; the device chosen; the nth USB serial adapter present (ttyUSB*, ttyACM*,
/// in name order, numbers by value); the machine's port n-1. Any other name is a device name or
/// path of its own and is used as it stands. exists tells whether a device path exists.
PortDevice deviceForPortName(const QString& portName, const QProcessEnvironment& environment,
    const DeviceCandidates& candidates, const std::function<bool(const QString&)>& exists);

/// The message shown when a port cannot be opened: what went wrong and what to do about it.
/// deviceGroup, the group that may use the device, is the one to join when access is denied
/// ('dialout', the usual one, when there is none).
QString describeOpenFailure(SerialOpenProblem problem, const QString& portName,
    const PortDevice& device, const QString& systemText, const QString& deviceGroup = {});
