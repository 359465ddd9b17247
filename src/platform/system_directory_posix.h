#pragma once

#include "platform/system_directory.h"

/// The directory of the system's programs is /usr/bin (on Debian the ping program of
/// iputils-ping lives there). The existence test reads a path in the form the search writes it:
/// backslashes are directory separators and a trailing ".exe", in any letter case, is dropped,
/// since Linux programs carry no extension; what remains must be an executable file.
class PosixSystemDirectory final : public SystemDirectory
{
public:
    explicit PosixSystemDirectory(QString directory = QStringLiteral("/usr/bin"));

    QString directoryBuffer() const override;
    std::optional<QString> findFile(const QString& path) const override;

private:
    QString m_directory;
};
