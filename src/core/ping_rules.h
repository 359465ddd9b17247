#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

/// The system directory in the buffer the system filled: the text before the first NUL.
/// Nothing when the buffer holds no NUL or the directory is shorter than two characters (a
/// bare drive such as "C:" is the shortest directory there is).
std::optional<QString> directoryFromBuffer(QStringView buffer);

/// Where the ping program is looked for, in this order: the directory itself, its "system"
/// folder and its "system32" folder, each path written with backslashes as the system's own
/// directory is.
QStringList pingCandidates(const QString& directory);
