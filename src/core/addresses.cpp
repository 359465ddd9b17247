#include "core/addresses.h"

#include <QDir>
#include <QUrl>

QString dottedAddress(const QStringList& octets)
{
    return octets.join(u'.');
}

QString serverAddress(const QStringList& octets)
{
    return QStringLiteral("http://") + dottedAddress(octets);
}

QString helpAddress(const QString& directory)
{
    const QString fileName = QStringLiteral("help.htm");
    if (directory.startsWith(u'/'))
        return QUrl::fromLocalFile(QDir(directory).filePath(fileName)).toString();
    return QStringLiteral("file:///") + directory + u'/' + fileName;
}
