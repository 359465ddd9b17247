#pragma once

#include <QIcon>
#include <QString>

/// The icon of a browser toolbar button, by the button's key: the desktop theme's icon for it,
/// or our own drawing where the theme has none.
QIcon toolbarIcon(const QString& key);
