#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

/// The whole of a file; empty when it does not exist or cannot be read.
inline QByteArray fileContents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
