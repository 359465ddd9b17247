#pragma once

#include "platform/serial_device.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringView>

/// Where the machine's own serial ports live: port COMn is this prefix followed by n-1.
inline constexpr QStringView kSerialDevicePrefix = u"/dev/ttyS";

/// The device behind a port name: "COMn" is the machine's port n-1 unless the environment variable
/// ZELVIC_COMn names another device (a USB adapter, a pseudo-terminal). Any other name is a
/// device name or path of its own and is used as it stands.
QString devicePathForPortName(const QString& portName, const QProcessEnvironment& environment);

/// The message shown when a port cannot be opened: what went wrong and what to do about it.
/// deviceGroup, the group that may use the device, is the one to join when access is denied
/// ('dialout', the usual one, when there is none).
QString describeOpenFailure(SerialOpenProblem problem, const QString& portName,
    const QString& devicePath, const QString& systemText, const QString& deviceGroup = {});
