#pragma once

#include <QString>

#include <optional>

/// How a file dialog is prepared, in the terms the terminal's commands use.
struct FileDialogRequest
{
    /// Descriptions and patterns alternating, each ended by a vertical bar:
    /// "Init files (*.ini)|*.ini|All files (*.*)|*.*|".
    QString filter;
    /// The name proposed in the dialog's name box.
    QString fileName;
    /// The file type selected at first, counted from 1.
    int filterIndex = 1;
};

/// The common Open and Save dialogs. Each returns the full path the user chose, or nothing when
/// the user cancelled. Neither asks before replacing a file nor checks that it exists.
class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    virtual std::optional<QString> showOpen(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> showSave(const FileDialogRequest& request) = 0;
};
