#pragma once

#include <QString>
#include <QStringList>

namespace vantorel {

// Opens a terminal window running a shell command: the terminal named by $TERMINAL, then
// x-terminal-emulator, then common terminals, each with its own way of taking a command. The
// command reaches `sh` as one argument of its own, so it arrives unchanged whatever quotes or
// backslashes it holds; the user's shell then keeps the window open.
class TerminalLauncher
{
public:
    TerminalLauncher() = delete;

    // The `sh -c` script: runs its first argument, then the user's shell.
    static constexpr const char* keepOpenScript = "eval \"$1\"; exec \"${SHELL:-/bin/sh}\"";

    // True when a terminal was started with the command. Otherwise the first terminal found is
    // opened on its own (no command runs) and the answer is false.
    static bool run(const QString& command);

    // The arguments that make `terminal` (a path or name) run the command through `sh`.
    static QStringList arguments(const QString& terminal, const QString& command);
};

} // namespace vantorel
