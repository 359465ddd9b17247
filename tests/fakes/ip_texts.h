#pragma once

#include "windows/frm_main.h"

#include <QLineEdit>
#include <QSignalBlocker>
#include <QStringList>

/// Puts the texts straight into the main window's four IP address boxes, past the entry rules:
/// the tools take whatever the boxes hold.
inline void setIpTexts(frmMain& window, const QStringList& texts)
{
    const QStringList names { "txtIpAddress", "txtIpAddress2", "txtIpAddress3", "txtIpAddress4" };
    for (qsizetype i = 0; i < names.size(); ++i) {
        auto* box = window.findChild<QLineEdit*>(names[i]);
        const QSignalBlocker blocker(box);
        box->setText(texts[i]);
    }
}
