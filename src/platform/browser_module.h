#pragma once

#include "core/handler_policy.h"

#include <QString>

/// The browser windows, which live in a module of their own that is loaded on first use: the
/// web engine behind them is several times the size of the rest of the terminal.
class BrowserModule
{
public:
    virtual ~BrowserModule() = default;
    /// Opens a new, independent browser window on the starting address. Fails with the reason
    /// when the module cannot be loaded.
    virtual Result<> openWindow(const QString& startingAddress) = 0;
};
