#include "platform/registry_posix.h"

#include <QStandardPaths>

namespace {

constexpr Registry::Key kToolKey = 1;

} // namespace

PosixRegistry::PosixRegistry(QStringList tools)
    : m_tools(std::move(tools))
{ }

std::optional<Registry::Key> PosixRegistry::openKey(Key root, const QString& keyName, quint32)
{
    if (root != kLocalMachine
        || keyName.compare(
               QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), Qt::CaseInsensitive)
            != 0)
        return std::nullopt;
    // The tools are looked for again at every opening: one installed meanwhile is found.
    for (const QString& tool : m_tools) {
        m_toolPath = QStandardPaths::findExecutable(tool);
        if (!m_toolPath.isEmpty())
            return kToolKey;
    }
    return std::nullopt;
}

std::optional<RegistryValue> PosixRegistry::queryValue(Key key, const QString& valueName)
{
    if (key != kToolKey || valueName.compare(QStringLiteral("PATH"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return RegistryValue { kString, m_toolPath.toLocal8Bit() + '\0' };
}

void PosixRegistry::closeKey(Key) { }
