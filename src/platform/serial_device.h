#pragma once

#include <QString>

/// Why a serial device could not be opened, as far as the operating system tells.
enum class SerialOpenProblem { NotFound, AccessDenied, Busy, Other };

/// Looks at the device after a failed open to tell a missing device, missing permissions and
/// a device that another program holds apart (the serial library reports the last two alike).
SerialOpenProblem diagnoseSerialOpenFailure(const QString& devicePath);

/// The group whose members may read and write the device; empty when there is none but root's
/// or it cannot be told.
QString serialDeviceGroup(const QString& devicePath);

/// Takes the exclusive advisory lock (flock) that programs sharing serial devices take on an
/// open device, so that each sees the other. false when another program already holds it; the
/// lock goes with the descriptor.
bool lockSerialDevice(qintptr handle);
