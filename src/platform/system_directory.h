#pragma once

#include <QString>

#include <optional>

/// The directory the system keeps its own programs in, and the test whether a file exists
/// there, in the form the Ping command and the About box search them.
class SystemDirectory
{
public:
    /// How many characters the system directory's buffer holds, its terminating NUL included.
    static constexpr int kBufferSize = 260;

    virtual ~SystemDirectory() = default;
    /// The buffer of kBufferSize characters, blanks before the system fills it: the directory
    /// followed by a NUL character, or no NUL at all when the system gave no directory.
    virtual QString directoryBuffer() const = 0;
    /// The existence test: the path as the system opens it when a file exists under the given
    /// one, nothing otherwise.
    virtual std::optional<QString> findFile(const QString& path) const = 0;
};
