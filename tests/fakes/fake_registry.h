#pragma once

#include "platform/registry.h"

#include <QHash>
#include <QList>

/// Keys and values held in memory, under any root. Counts the keys left open.
class FakeRegistry final : public Registry
{
public:
    std::optional<Key> openKey(Key, const QString& keyName, quint32) override
    {
        if (!keys.contains(keyName))
            return std::nullopt;
        openNames.append(keyName);
        ++openCount;
        return static_cast<Key>(openNames.size());
    }
    std::optional<RegistryValue> queryValue(Key key, const QString& valueName) override
    {
        const QHash<QString, RegistryValue> values = keys.value(openNames.value(key - 1));
        return values.contains(valueName) ? std::optional(values.value(valueName)) : std::nullopt;
    }
    void closeKey(Key) override { --openCount; }

    void setString(const QString& key, const QString& value, const QByteArray& data)
    {
        keys[key][value] = { kString, data };
    }

    QHash<QString, QHash<QString, RegistryValue>> keys;
    QStringList openNames;
    int openCount = 0;
};
