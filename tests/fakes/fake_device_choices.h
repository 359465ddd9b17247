#pragma once

#include "platform/device_choices.h"

#include <QHash>

/// Choices held in memory.
class FakeDeviceChoices final : public DeviceChoices
{
public:
    QString device(const QString& portName) const override { return kept.value(portName); }
    Result<> keep(const QString& portName, const QString& devicePath) override
    {
        kept.insert(portName, devicePath);
        return {};
    }
    QHash<QString, QString> kept;
};
