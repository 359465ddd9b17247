#pragma once

#include "platform/file_dialogs.h"

#include <QList>
#include <QString>

/// Answers every dialog with the next of the prepared answers (nothing, as Cancel does, once they
/// run out) and records how each dialog was prepared.
class FakeFileDialogs final : public FileDialogs
{
public:
    std::optional<QString> showOpen(const FileDialogRequest& request) override
    {
        return answer(request);
    }
    std::optional<QString> showSave(const FileDialogRequest& request) override
    {
        return answer(request);
    }

    QList<std::optional<QString>> answers;
    QList<FileDialogRequest> shown;

private:
    std::optional<QString> answer(const FileDialogRequest& request)
    {
        shown.append(request);
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
};
