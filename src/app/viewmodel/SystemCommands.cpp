#include "app/viewmodel/SystemCommands.h"

#include "app/platform/TerminalLauncher.h"
#include "app/viewmodel/AppViewModel.h"
#include "core/foundation/ShellQuoting.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

namespace vantorel {

namespace {

std::optional<QString> startDetached(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (process.startDetached())
        return std::nullopt;
    return process.errorString();
}

void restartFailed(AppViewModel& viewModel, const QString& description)
{
    viewModel.publishedState().launchAtLoginMessage = QStringLiteral("再起動に失敗しました: ") + description;
    viewModel.log(QStringLiteral("app.restartFailed ") + description);
}

} // namespace

void SystemCommands::restartApp(AppViewModel& viewModel)
{
    const auto& dependencies = viewModel.dependencies();
    const QString path = dependencies.applicationPath.isEmpty() ? QCoreApplication::applicationFilePath()
                                                                : dependencies.applicationPath;
    viewModel.log(QStringLiteral("app.restartRequested bundle=") + path);
    // Quitting first would leave nothing running when the executable was replaced or removed.
    if (!QFileInfo(path).isExecutable()) {
        restartFailed(viewModel, QStringLiteral("実行ファイルが見つかりません: ") + path);
        return;
    }
    const QStringList arguments{QStringLiteral("-c"), QStringLiteral("sleep 0.5; exec ") + shellQuoted(path)};
    const auto& start = dependencies.startDetachedProcess;
    if (const auto error = start ? start(QStringLiteral("/bin/sh"), arguments)
                                 : startDetached(QStringLiteral("/bin/sh"), arguments)) {
        restartFailed(viewModel, *error);
        return;
    }
    if (dependencies.quitApplication)
        dependencies.quitApplication();
    else
        QCoreApplication::quit();
}

void SystemCommands::openCodexCLI(AppViewModel& viewModel)
{
    const QString path = viewModel.settings().codexCLIExecutablePath.trimmed();
    const QString command = path.isEmpty() ? QStringLiteral("codex") : shellQuoted(path);
    const auto& run = viewModel.dependencies().runInTerminal;
    if (!(run ? run(command) : TerminalLauncher::run(command))) {
        viewModel.log(QStringLiteral("codexCLI.terminalUnavailable"));
        viewModel.reportOpenFailure(OpenFailure::Kind::terminal, QStringLiteral("Codex CLI"));
    }
}

} // namespace vantorel
