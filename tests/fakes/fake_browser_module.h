#pragma once

#include "platform/browser_module.h"

#include <QStringList>

/// Records the starting address of every window it is asked to open; fails with `failure`
/// when set.
class FakeBrowserModule final : public BrowserModule
{
public:
    Failure openWindow(const QString& startingAddress) override
    {
        if (failure)
            return failure;
        opened.append(startingAddress);
        return std::nullopt;
    }

    QStringList opened;
    Failure failure;
};
