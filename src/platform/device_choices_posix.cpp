#include "platform/device_choices_posix.h"

#include <QFile>
#include <QSettings>

#include <utility>

namespace {

const QString kGroup = QStringLiteral("devices");

} // namespace

PosixDeviceChoices::PosixDeviceChoices(QString filePath)
    : m_filePath(std::move(filePath))
{
    if (m_filePath.isEmpty())
        m_filePath = QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("zelvic"),
            QStringLiteral("zelvic"))
                         .fileName();
    const QSettings settings(m_filePath, QSettings::IniFormat);
    // The library keeps what it has read of a file for the whole process and tells a parse
    // error only to the first reader after the file changed: the store asks once.
    const QStringList keys = settings.allKeys();
    m_unparsed = settings.status() != QSettings::NoError;
    if (m_unparsed)
        return;
    for (const QString& key : keys) {
        const QVariant value = settings.value(key);
        if (key.startsWith(kGroup + u'/') && value.typeId() == QMetaType::QString)
            m_devices.insert(key.mid(kGroup.size() + 1), value.toString());
    }
}

QString PosixDeviceChoices::device(const QString& portName) const
{
    return m_devices.value(portName);
}

Result<> PosixDeviceChoices::keep(const QString& portName, const QString& devicePath)
{
    // The library would write back what it could read of a file it cannot parse: the user's
    // new choice replaces such a file instead.
    if (std::exchange(m_unparsed, false))
        QFile::remove(m_filePath);
    QSettings settings(m_filePath, QSettings::IniFormat);
    settings.setValue(kGroup + u'/' + portName, devicePath);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return Failure { QStringLiteral("The device for %1 cannot be kept for the next start: "
                                        "%2 cannot be written.")
                             .arg(portName, m_filePath) };
    m_devices.insert(portName, devicePath);
    return {};
}
