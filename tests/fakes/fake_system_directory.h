#pragma once

#include "platform/system_directory.h"

#include <QStringList>

/// A system directory buffer given as it is, and files that exist only here. Records every
/// path the existence test was asked about.
class FakeSystemDirectory final : public SystemDirectory
{
public:
    QString directoryBuffer() const override { return buffer; }
    std::optional<QString> findFile(const QString& path) const override
    {
        tested.append(path);
        return existing.contains(path) ? std::optional<QString>(path) : std::nullopt;
    }

    /// The directory followed by NUL and blanks, as the system fills the buffer.
    static QString filled(const QString& directory)
    {
        return (directory + QChar(u'\0')).leftJustified(kBufferSize, u' ');
    }

    QString buffer = filled(QStringLiteral("C:\\WINDOWS"));
    QStringList existing;
    mutable QStringList tested;
};
