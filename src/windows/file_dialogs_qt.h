#pragma once

#include "platform/file_dialogs.h"

/// Modal QFileDialogs over the active window, drawn by Qt itself so that they behave the same on
/// every desktop: the Open dialog accepts a typed name that does not exist, the Save dialog
/// replaces a file without asking, and neither adds an extension. The file types are shown as the
/// filter text describes them, and match as they do where that text comes from: "*.*" matches
/// every file, also one without a dot.
class QtFileDialogs final : public FileDialogs
{
public:
    std::optional<QString> showOpen(const FileDialogRequest& request) override;
    std::optional<QString> showSave(const FileDialogRequest& request) override;
};
