#pragma once

#include "core/result.h"
#include "platform/registry.h"

#include <QByteArray>
#include <QString>

#include <optional>

/// The text of a registry value, from the buffer it was read into (the value's bytes, then
/// zeros). The bytes before the first zero byte are the value text. A string (REG_SZ) is that
/// text; a 32-bit number (REG_DWORD) is rendered whole as "&h" and its upper-case hexadecimal
/// digits without leading zeros ("&h0", "&h10203"); any other type leaves `unchanged` as it is.
/// Nothing when the buffer holds no zero byte to end the text at.
std::optional<QString> registryValueText(
    quint32 type, const QByteArray& buffer, const QString& unchanged);

/// Reads the value SubKeyRef of the key KeyName below KeyRoot into KeyVal, through a buffer of
/// 1024 bytes, and tells whether it was found. A key that cannot be opened for reading, a missing
/// value or one that does not fit the buffer empties KeyVal and is not found; a value filling the
/// buffer to its last byte is a failure. The key is closed however the reading ends.
Result<bool> GetKeyValue(Registry& registry, Registry::Key KeyRoot, const QString& KeyName,
    const QString& SubKeyRef, QString& KeyVal);
