#include "core/ping_rules.h"

std::optional<QString> directoryFromBuffer(QStringView buffer)
{
    const qsizetype nul = buffer.indexOf(QChar(u'\0'));
    if (nul < 2)
        return std::nullopt;
    return buffer.left(nul).toString();
}

QStringList pingCandidates(const QString& directory)
{
    return { directory + u'\\' + QStringLiteral("ping.exe"),
        directory + QStringLiteral("\\system\\ping.exe"),
        directory + QStringLiteral("\\system32\\ping.exe") };
}
