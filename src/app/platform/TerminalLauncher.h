#pragma once

#include <QString>
#include <QStringList>

namespace vantorel {

// Opens a terminal window running a shell command: the terminal named by $TERMINAL, then
// x-terminal-emulator, then common terminals, each with its own way of taking a command. The
// command is run as `sh -c <command>` with the command as one argument, so it arrives unchanged
// whatever quotes or backslashes it holds.
class TerminalLauncher
{
public:
    TerminalLauncher() = delete;

    // True when a terminal was started with the command. Otherwise the first terminal found is
    // opened on its own (no command runs) and the answer is false.
    static bool run(const QString& command);

    // The arguments that make `terminal` (a path or name) run `sh -c command`.
    static QStringList arguments(const QString& terminal, const QString& command);
};

} // namespace vantorel
