#include "platform/process_launcher_posix.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

PosixProcessLauncher::PosixProcessLauncher(QStringList terminals)
    : m_terminals(std::move(terminals))
{ }

Result<> PosixProcessLauncher::start(const QString& program, const QStringList& arguments)
{
    if (program.isEmpty())
        return Failure { QStringLiteral("No program to start") };
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        return Failure { QStringLiteral("%1: %2").arg(program, process.errorString()) };
    return {};
}

Result<> PosixProcessLauncher::startInTerminal(const QString& program, const QStringList& arguments)
{
    for (const QString& terminal : m_terminals) {
        const QString path = QFileInfo(terminal).isAbsolute()
            ? terminal
            : QStandardPaths::findExecutable(terminal);
        if (!path.isEmpty() && QFileInfo(path).isExecutable())
            return start(path, QStringList { QStringLiteral("-e"), program } + arguments);
    }
    return Failure {
        QStringLiteral("No terminal emulator found (%1)").arg(m_terminals.join(u", "))
    };
}
