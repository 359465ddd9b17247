#pragma once

#include "platform/registry.h"

#include <QStringList>

/// Linux has no registry: this one holds the single entry the About box reads, the System
/// Information tool's program path, filled in with the first of the desktop's
/// system-information tools found in PATH. Every other key is missing.
class PosixRegistry final : public Registry
{
public:
    explicit PosixRegistry(
        QStringList tools = { QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
            QStringLiteral("gnome-system-monitor") });

    std::optional<Key> openKey(Key root, const QString& keyName, quint32 access) override;
    std::optional<RegistryValue> queryValue(Key key, const QString& valueName) override;
    void closeKey(Key key) override;

private:
    QStringList m_tools;
    QString m_toolPath;
};
