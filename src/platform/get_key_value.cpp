#include "platform/get_key_value.h"

#include <QScopeGuard>
#include <QtEndian>

#include <cstring>

namespace {

// Read access with the rights to query and set values, create and enumerate subkeys, notify
// and create links.
constexpr quint32 kAccess = 0x2003F;
constexpr qsizetype kBufferSize = 1024;

} // namespace

std::optional<QString> registryValueText(
    quint32 type, const QByteArray& buffer, const QString& unchanged)
{
    const qsizetype end = buffer.indexOf('\0');
    if (end < 0)
        return std::nullopt;
    switch (type) {
    case Registry::kString:
        return QString::fromLocal8Bit(buffer.left(end));
    case Registry::kNumber32: {
        char bytes[4] = {};
        std::memcpy(
            bytes, buffer.constData(), static_cast<size_t>(qMin(buffer.size(), qsizetype(4))));
        return QStringLiteral("&h")
            + QString::number(qFromLittleEndian<quint32>(bytes), 16).toUpper();
    }
    default:
        return unchanged;
    }
}

Result<bool> GetKeyValue(Registry& registry, Registry::Key KeyRoot, const QString& KeyName,
    const QString& SubKeyRef, QString& KeyVal)
{
    const std::optional<Registry::Key> key = registry.openKey(KeyRoot, KeyName, kAccess);
    if (!key) {
        KeyVal.clear();
        return false;
    }
    const auto closeKey = qScopeGuard([&] { registry.closeKey(*key); });
    const std::optional<RegistryValue> value = registry.queryValue(*key, SubKeyRef);
    if (!value || value->data.size() > kBufferSize) {
        KeyVal.clear();
        return false;
    }
    const QByteArray buffer = value->data + QByteArray(kBufferSize - value->data.size(), '\0');
    const std::optional<QString> text = registryValueText(value->type, buffer, KeyVal);
    if (!text)
        return Failure { QStringLiteral("The registry value %1 has no end").arg(SubKeyRef) };
    KeyVal = *text;
    return true;
}
