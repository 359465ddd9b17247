#pragma once

#include "core/handler_policy.h"

#include <QString>
#include <QStringList>

/// Starts outside programs as processes of their own, in a normal window with the focus, and
/// never waits for them. The program and its arguments are handed over one by one: no command
/// line is ever split or interpreted by a shell.
class ProcessLauncher
{
public:
    virtual ~ProcessLauncher() = default;
    /// Starts a program that opens its own window.
    virtual Result<> start(const QString& program, const QStringList& arguments) = 0;
    /// Starts a console program in a terminal window of its own, so that the user sees its
    /// output.
    virtual Result<> startInTerminal(const QString& program, const QStringList& arguments) = 0;
};
