#include "platform/system_directory_posix.h"

#include <QFileInfo>

PosixSystemDirectory::PosixSystemDirectory(QString directory)
    : m_directory(std::move(directory))
{ }

QString PosixSystemDirectory::directoryBuffer() const
{
    QString buffer(kBufferSize, u' ');
    // A directory that does not fit with its NUL is not given at all, as the system does.
    if (m_directory.size() < kBufferSize) {
        buffer.replace(0, m_directory.size(), m_directory);
        buffer[m_directory.size()] = QChar(u'\0');
    }
    return buffer;
}

std::optional<QString> PosixSystemDirectory::findFile(const QString& path) const
{
    QString native = path;
    native.replace(u'\\', u'/');
    if (native.endsWith(u".exe", Qt::CaseInsensitive))
        native.chop(4);
    const QFileInfo info(native);
    if (native.isEmpty() || !info.isFile() || !info.isExecutable())
        return std::nullopt;
    return native;
}
