#include "app/platform/TerminalLauncher.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <array>
#include <utility>

namespace vantorel {

namespace {

struct KnownTerminal
{
    const char* name;
    // What comes before the program and its arguments.
    QStringList prefix;
};

// Checked in this order when neither $TERMINAL nor x-terminal-emulator can be started.
const std::array<KnownTerminal, 11>& knownTerminals()
{
    static const std::array<KnownTerminal, 11> terminals{{
        {"x-terminal-emulator", {QStringLiteral("-e")}},
        {"gnome-terminal", {QStringLiteral("--")}},
        {"konsole", {QStringLiteral("-e")}},
        {"xfce4-terminal", {QStringLiteral("-x")}},
        {"mate-terminal", {QStringLiteral("-x")}},
        {"terminator", {QStringLiteral("-x")}},
        {"kitty", {}},
        {"alacritty", {QStringLiteral("-e")}},
        {"foot", {}},
        {"wezterm", {QStringLiteral("start"), QStringLiteral("--")}},
        {"xterm", {QStringLiteral("-e")}},
    }};
    return terminals;
}

// Program paths to try, each once, in order.
QStringList candidates()
{
    QStringList programs;
    const auto add = [&programs](const QString& name) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty() && !programs.contains(path))
            programs.append(path);
    };
    // $TERMINAL may carry options ("kitty --single-instance"); only its program is used.
    const QStringList fromEnvironment = QProcess::splitCommand(qEnvironmentVariable("TERMINAL"));
    if (!fromEnvironment.isEmpty())
        add(fromEnvironment.constFirst());
    for (const auto& terminal : knownTerminals())
        add(QString::fromLatin1(terminal.name));
    return programs;
}

} // namespace

QStringList TerminalLauncher::arguments(const QString& terminal, const QString& command)
{
    // Most terminals follow xterm's "-e program arguments…".
    QStringList result{QStringLiteral("-e")};
    const QString name = QFileInfo(terminal).fileName();
    for (const auto& known : knownTerminals()) {
        if (name == QLatin1String(known.name)) {
            result = known.prefix;
            break;
        }
    }
    // The command stays one argument (eval runs it as `sh -c` would); an interactive shell
    // follows, so the window stays open with the command's output.
    result << QStringLiteral("sh") << QStringLiteral("-c") << QString::fromLatin1(keepOpenScript)
           << QStringLiteral("sh") << command;
    return result;
}

bool TerminalLauncher::run(const QString& command)
{
    const QStringList programs = candidates();
    for (const QString& program : programs) {
        if (QProcess::startDetached(program, arguments(program, command)))
            return true;
    }
    if (!programs.isEmpty())
        QProcess::startDetached(programs.constFirst(), {});
    return false;
}

} // namespace vantorel
