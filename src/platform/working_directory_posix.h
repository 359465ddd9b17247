#pragma once

#include "platform/working_directory.h"

/// The process's own current directory.
class PosixWorkingDirectory final : public WorkingDirectory
{
public:
    QString current() const override;
    bool setCurrent(const QString& path) override;
};
