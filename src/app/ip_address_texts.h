#pragma once

#include <QStringList>

class frmMain;

/// The texts of the main window's four IP address boxes, first octet first, as they stand.
QStringList ipAddressTexts(const frmMain& mainWindow);
