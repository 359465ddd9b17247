#pragma once

#include "platform/serial_device.h"

#include <QProcessEnvironment>
#include <QString>

/// The device behind a port name: "COMn" is /dev/ttyS(n-1) unless the environment variable
/// ZELVIC_COMn names another device (a USB adapter, a pseudo-terminal). Any other name is a
/// device name or path of its own and is used as it stands.
QString devicePathForPortName(const QString& portName, const QProcessEnvironment& environment);

/// The message shown when a port cannot be opened: what went wrong and what to do about it.
QString describeOpenFailure(SerialOpenProblem problem, const QString& portName,
    const QString& devicePath, const QString& systemText);
