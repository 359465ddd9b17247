#pragma once

#include "platform/file_dialogs.h"

#include <QList>
#include <QString>

/// Answers every dialog with the next of the prepared answers (nothing, as Cancel does, once they
/// run out) and records how each dialog was prepared.
class FakeFileDialogs final : public FileDialogs
{
public:
    enum class Kind { Open, Save };
    struct Shown
    {
        Kind kind;
        FileDialogRequest request;
    };

    std::optional<QString> showOpen(const FileDialogRequest& request) override
    {
        return answer(Kind::Open, request);
    }
    std::optional<QString> showSave(const FileDialogRequest& request) override
    {
        return answer(Kind::Save, request);
    }

    QList<std::optional<QString>> answers;
    QList<Shown> shown;

private:
    std::optional<QString> answer(Kind kind, const FileDialogRequest& request)
    {
        shown.append({ kind, request });
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
};
