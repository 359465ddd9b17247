#include "serial_link/port_names.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

// A USB serial adapter's device name: the kernel's FTDI/Prolific/CP210x kind and its modem
// (CDC ACM) kind.
const QRegularExpression kAdapterName(QStringLiteral("^tty(USB|ACM)([0-9]+)$"));

QStringList adaptersInNameOrder(const QStringList& detected)
{
    QList<std::pair<QRegularExpressionMatch, QString>> adapters;
    for (const QString& path : detected) {
        QRegularExpressionMatch match = kAdapterName.match(QFileInfo(path).fileName());
        if (match.hasMatch())
            adapters.append({ match, path });
    }
    // ttyACM before ttyUSB; ttyUSB2 before ttyUSB10.
    std::sort(adapters.begin(), adapters.end(), [](const auto& a, const auto& b) {
        const int kind = a.first.captured(1).compare(b.first.captured(1));
        return kind != 0 ? kind < 0 : a.first.captured(2).toInt() < b.first.captured(2).toInt();
    });
    QStringList paths;
    for (const auto& adapter : adapters)
        paths.append(adapter.second);
    return paths;
}

} // namespace

PortDevice deviceForPortName(const QString& portName, const QProcessEnvironment& environment,
    const DeviceCandidates& candidates, const std::function<bool(const QString&)>& exists)
{
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]{0,2})$"));
    const QRegularExpressionMatch match = comName.match(portName);
    if (!match.hasMatch())
        return { portName, DeviceOrigin::Named };
    const QString overridden = environment.value(QStringLiteral("ZELVIC_") + portName);
    if (!overridden.isEmpty())
        return { overridden, DeviceOrigin::Environment };
    if (!candidates.chosen.isEmpty())
        return { candidates.chosen, DeviceOrigin::Choice };
    // A device kept from an earlier run may have been unplugged since.
    if (!candidates.kept.isEmpty() && exists(candidates.kept))
        return { candidates.kept, DeviceOrigin::Choice };
    const int index = match.captured(1).toInt() - 1;
    const QStringList adapters = adaptersInNameOrder(candidates.detected);
    if (index < adapters.size())
        return { adapters[index], DeviceOrigin::Adapter };
    return { kSerialDevicePrefix.toString() + QString::number(index), DeviceOrigin::Machine };
}

QString describeOpenFailure(SerialOpenProblem problem, const QString& portName,
    const PortDevice& device, const QString& systemText, const QString& deviceGroup)
{
    const QString variable = QStringLiteral("ZELVIC_") + portName;
    QString port = portName;
    QString another;
    switch (device.origin) {
    case DeviceOrigin::Named:
        break;
    case DeviceOrigin::Environment:
        // The dialog cannot override the variable: it is the variable that must change.
        port = QStringLiteral("%1 (%2, set by %3)").arg(portName, device.path, variable);
        another = QStringLiteral(", or set %1 to another device").arg(variable);
        break;
    case DeviceOrigin::Choice:
    case DeviceOrigin::Adapter:
    case DeviceOrigin::Machine:
        port = QStringLiteral("%1 (%2)").arg(portName, device.path);
        another = QStringLiteral(", or choose another device under Settings, RS232 Port Setup");
        break;
    }
    switch (problem) {
    case SerialOpenProblem::NotFound:
        return QStringLiteral("Cannot open serial port %1: there is no such device. Connect the "
                              "cable or adapter%2.")
            .arg(port, another);
    case SerialOpenProblem::AccessDenied:
        return QStringLiteral("Cannot open serial port %1: permission denied. Add your user to "
                              "the '%2' group (sudo usermod -aG %2 $USER), then log out and in "
                              "again%3.")
            .arg(port, deviceGroup.isEmpty() ? QStringLiteral("dialout") : deviceGroup, another);
    case SerialOpenProblem::Busy:
        return QStringLiteral("Cannot open serial port %1: another program holds it. Close that "
                              "program, then open the port under Settings, RS232 Port Setup%2.")
            .arg(port,
                another.isEmpty() || device.origin == DeviceOrigin::Environment
                    ? another
                    : QStringLiteral(", or choose another device there"));
    case SerialOpenProblem::Other:
        break;
    }
    return QStringLiteral("Cannot open serial port %1: %2. Check the device%3.")
        .arg(port, systemText, another);
}
