#pragma once

#include "platform/file_dialogs.h"

#include <QList>
#include <QString>

/// Answers every dialog with the next of the prepared answers (nothing, as Cancel does, once they
/// run out).
class FakeFileDialogs final : public FileDialogs
{
public:
    std::optional<QString> showOpen(const FileDialogRequest&) override { return answer(); }
    std::optional<QString> showSave(const FileDialogRequest&) override { return answer(); }

    QList<std::optional<QString>> answers;

private:
    std::optional<QString> answer()
    {
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
};
