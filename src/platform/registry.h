#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

/// A value as the registry stores it: its type and its data bytes.
struct RegistryValue
{
    quint32 type = 0;
    QByteArray data;
};

/// The system's registry, read only: open a key, read its values, close it.
class Registry
{
public:
    using Key = quintptr;
    static constexpr Key kLocalMachine = 0x80000002;
    static constexpr quint32 kString = 1; // REG_SZ
    static constexpr quint32 kNumber32 = 4; // REG_DWORD

    virtual ~Registry() = default;
    /// Opens the key below the root with the given access rights; nothing when it cannot be
    /// opened.
    virtual std::optional<Key> openKey(Key root, const QString& keyName, quint32 access) = 0;
    /// A value of an open key; nothing when there is no such value.
    virtual std::optional<RegistryValue> queryValue(Key key, const QString& valueName) = 0;
    virtual void closeKey(Key key) = 0;
};
