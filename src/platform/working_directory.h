#pragma once

#include <QString>

/// The process's current working directory.
class WorkingDirectory
{
public:
    virtual ~WorkingDirectory() = default;
    virtual QString current() const = 0;
    /// Returns false when the directory cannot be entered.
    virtual bool setCurrent(const QString& path) = 0;
};
