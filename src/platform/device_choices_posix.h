#pragma once

#include "platform/device_choices.h"

#include <QHash>

/// The choices in the user's configuration file, zelvic/zelvic.ini in the configuration folder
/// ($XDG_CONFIG_HOME, else ~/.config), read once when made. A file that cannot be read or
/// parsed reads as no choice and is left as it is until a choice is kept.
class PosixDeviceChoices final : public DeviceChoices
{
public:
    /// filePath: where the choices are kept; the user's configuration file when empty.
    explicit PosixDeviceChoices(QString filePath = {});

    QString device(const QString& portName) const override;
    Result<> keep(const QString& portName, const QString& devicePath) override;

private:
    QString m_filePath;
    QHash<QString, QString> m_devices;
    bool m_unparsed = false;
};
