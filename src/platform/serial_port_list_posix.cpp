#include "platform/serial_port_list_posix.h"

#include <QSerialPortInfo>
#include <QStringList>

QList<SerialPortEntry> PosixSerialPortList::ports() const
{
    QList<SerialPortEntry> entries;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        QStringList maker;
        for (const QString& part : { info.manufacturer(), info.serialNumber() }) {
            if (!part.isEmpty())
                maker.append(part);
        }
        QString description = info.description();
        if (!maker.isEmpty())
            description = QStringLiteral("%1 (%2)").arg(description, maker.join(u", ")).trimmed();
        entries.append({ info.systemLocation(), description });
    }
    return entries;
}
