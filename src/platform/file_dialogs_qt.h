#pragma once

#include "platform/file_dialogs.h"

#include <QStringList>

/// The filter text's description and pattern pairs as QFileDialog name filters. Each becomes
/// "description (patterns)", with the patterns made to match as they do on the platform the
/// filter text comes from ("*.*" matches every file, also one without a dot); the dialog shows
/// the description alone.
QStringList qtNameFilters(const QString& filter);

/// Modal QFileDialogs over the active window, drawn by Qt itself so that they behave the same on
/// every desktop: the Open dialog accepts a typed name that does not exist, the Save dialog
/// replaces a file without asking, and neither adds an extension.
class QtFileDialogs final : public FileDialogs
{
public:
    std::optional<QString> showOpen(const FileDialogRequest& request) override;
    std::optional<QString> showSave(const FileDialogRequest& request) override;
};
