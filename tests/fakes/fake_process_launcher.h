#pragma once

#include "platform/process_launcher.h"

#include <QList>

/// Records the processes it is asked to start; fails each start with `failure` when set.
class FakeProcessLauncher final : public ProcessLauncher
{
public:
    struct Started
    {
        QString program;
        QStringList arguments;
    };

    Failure start(const QString& program, const QStringList& arguments) override
    {
        started.append({ program, arguments });
        return failure;
    }
    Failure startInTerminal(const QString& program, const QStringList& arguments) override
    {
        started.append({ program, arguments });
        return failure;
    }

    QList<Started> started;
    Failure failure;
};
