#pragma once

#include "platform/process_launcher.h"

/// Detached processes; console programs run in the desktop's terminal emulator. The terminals
/// are tried in order, each a program name looked up in PATH or an absolute path, and each is
/// given "-e PROGRAM ARGUMENTS...", the form every Debian x-terminal-emulator accepts.
class PosixProcessLauncher final : public ProcessLauncher
{
public:
    explicit PosixProcessLauncher(
        QStringList terminals = { QStringLiteral("x-terminal-emulator"), QStringLiteral("xterm") });

    Result<> start(const QString& program, const QStringList& arguments) override;
    Result<> startInTerminal(const QString& program, const QStringList& arguments) override;

private:
    QStringList m_terminals;
};
