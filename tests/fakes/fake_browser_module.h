#pragma once

#include "platform/browser_module.h"

#include <QStringList>

/// Records the starting address of every window it is asked to open and gives `result`, which
/// may be set to a failure.
class FakeBrowserModule final : public BrowserModule
{
public:
    Result<> openWindow(const QString& startingAddress) override
    {
        if (!result.ok())
            return result;
        opened.append(startingAddress);
        return {};
    }

    QStringList opened;
    Result<> result;
};
