#include "serial_link/port_names.h"

#include <QRegularExpression>

QString devicePathForPortName(const QString& portName, const QProcessEnvironment& environment)
{
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]{0,2})$"));
    const QRegularExpressionMatch match = comName.match(portName);
    if (!match.hasMatch())
        return portName;
    const QString overridden = environment.value(QStringLiteral("ZELVIC_") + portName);
    if (!overridden.isEmpty())
        return overridden;
    return kSerialDevicePrefix.toString() + QString::number(match.captured(1).toInt() - 1);
}

QString describeOpenFailure(SerialOpenProblem problem, const QString& portName,
    const QString& devicePath, const QString& systemText, const QString& deviceGroup)
{
    const QString port
        = portName == devicePath ? portName : QStringLiteral("%1 (%2)").arg(portName, devicePath);
    switch (problem) {
    case SerialOpenProblem::NotFound:
        if (portName == devicePath)
            return QStringLiteral("Cannot open serial port %1: there is no such device. Connect "
                                  "the cable or adapter.")
                .arg(port);
        return QStringLiteral("Cannot open serial port %1: there is no such device. Connect the "
                              "cable or adapter, or set ZELVIC_%2 to the device's path.")
            .arg(port, portName);
    case SerialOpenProblem::AccessDenied:
        return QStringLiteral("Cannot open serial port %1: permission denied. Add your user to "
                              "the '%2' group (sudo usermod -aG %2 $USER), then log out and in "
                              "again.")
            .arg(port, deviceGroup.isEmpty() ? QStringLiteral("dialout") : deviceGroup);
    case SerialOpenProblem::Busy:
        return QStringLiteral("Cannot open serial port %1: another program holds it. Close that "
                              "program, then open the port under Settings, RS232 Port Setup.")
            .arg(port);
    case SerialOpenProblem::Other:
        break;
    }
    return QStringLiteral("Cannot open serial port %1: %2.").arg(port, systemText);
}
