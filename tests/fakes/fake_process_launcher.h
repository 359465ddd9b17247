#pragma once

#include "platform/process_launcher.h"

#include <QList>

/// Records the processes it is asked to start; gives each start `result`, which may be set to a
/// failure.
class FakeProcessLauncher final : public ProcessLauncher
{
public:
    struct Started
    {
        QString program;
        QStringList arguments;
    };

    Result<> start(const QString& program, const QStringList& arguments) override
    {
        started.append({ program, arguments });
        return result;
    }
    Result<> startInTerminal(const QString& program, const QStringList& arguments) override
    {
        return start(program, arguments);
    }

    QList<Started> started;
    Result<> result;
};
