#include "platform/working_directory_posix.h"

#include <QDir>

QString PosixWorkingDirectory::current() const
{
    return QDir::currentPath();
}

bool PosixWorkingDirectory::setCurrent(const QString& path)
{
    return QDir::setCurrent(path);
}
