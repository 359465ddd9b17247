#pragma once

#include <QString>

/// The application title: the caption of every message box.
inline constexpr char16_t kApplicationTitle[] = u"Zelvic";

/// Message boxes with an OK button only, captioned with the application title.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    /// Shows the text and returns when the user has pressed OK.
    virtual void showMessage(const QString& text) = 0;
};
