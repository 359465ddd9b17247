#pragma once

#include "platform/working_directory.h"

#include <QStringList>

/// A working directory that lives in the fake alone; the process's own is never changed. Entering
/// a folder listed in refused fails.
class FakeWorkingDirectory final : public WorkingDirectory
{
public:
    QString current() const override { return path; }
    bool setCurrent(const QString& newPath) override
    {
        if (refused.contains(newPath))
            return false;
        path = newPath;
        return true;
    }

    QString path;
    QStringList refused;
};
