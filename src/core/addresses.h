#pragma once

#include <QString>
#include <QStringList>

#include <optional>

/// The address the four texts of an address row mean, each part the decimal number the settings
/// file stores for it (octetValue()): "127", "000", "000", "010" give "127.0.0.10". Only when
/// every text is one or more digits 0-9 and nothing else, of value 0 to 255; otherwise nothing.
std::optional<QString> decimalAddress(const QStringList& octets);

/// The address the tools reach: decimalAddress() when the texts make one, otherwise the texts
/// joined by dots exactly as they stand (not trimmed, not checked, so that empty boxes give "...")
/// for the tool to report as it sees fit.
QString hostAddress(const QStringList& octets);

/// The web server's home page: "http://" and hostAddress(), with no path, port or slash.
QString serverAddress(const QStringList& octets);

/// The help page "help.htm" in the given directory, as an address the browser opens. A drive
/// directory ("C:\Tools") gives "file:///C:\Tools/help.htm". A POSIX directory already starts
/// with its own slash, and its name may hold characters that mean something in an address
/// ('#', '?', '%'): it becomes a proper file URL, which still shows blanks as blanks.
QString helpAddress(const QString& directory);
