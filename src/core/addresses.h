#pragma once

#include <QString>
#include <QStringList>

/// The four texts of an address row joined by dots, each exactly as it stands: not trimmed, not
/// checked, so that empty boxes give "...".
QString dottedAddress(const QStringList& octets);

/// The web server's home page: "http://" and the dotted address, with no path, port or slash.
QString serverAddress(const QStringList& octets);

/// The help page "help.htm" in the given directory, as an address the browser opens. A drive
/// directory ("C:\Tools") gives "file:///C:\Tools/help.htm". A POSIX directory already starts
/// with its own slash, and its name may hold characters that mean something in an address
/// ('#', '?', '%'): it becomes a proper file URL, which still shows blanks as blanks.
QString helpAddress(const QString& directory);
