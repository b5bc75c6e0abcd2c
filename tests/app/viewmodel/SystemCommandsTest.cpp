#include "app/viewmodel/AppViewModel.h"
#include "support/DrainEvents.h"
#include "support/FakeUrlOpener.h"
#include "support/ManualSleeper.h"
#include "support/TestFiles.h"
#include "support/ViewModelHarness.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

// A folder whose name a shell would take for syntax; its programs write their own path ($0) to
// "record". Nothing may create "x" or "y".
struct HostileFolder {
    QTemporaryDir dir;
    QString folder = dir.filePath(QStringLiteral("it's \"a\" \\ $(touch x) `touch y`"));

    QString program(const QString& name, const QByteArray& body = "printf '%s' \"$0\" > ../record\n")
    {
        QDir().mkpath(folder);
        const QString path = folder + u'/' + name;
        test::writeFileBytes(path, "#!/bin/sh\ncd \"$(dirname \"$0\")\"\n" + body);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        return path;
    }
    QString recorded() const
    {
        const QString record = dir.filePath(QStringLiteral("record"));
        waitUntil([&] { return !test::readFileBytes(record).isEmpty(); });
        EXPECT_FALSE(QFile::exists(folder + u"/x") || QFile::exists(folder + u"/y") || QFile::exists(QStringLiteral("x")));
        return QString::fromUtf8(test::readFileBytes(record));
    }
};

TEST(SystemCommandsTest, CodexCLIPathReachesTheTerminalAsOneWord)
{
    HostileFolder hostile;
    const QString codex = hostile.program(QStringLiteral("codex"));
    // A terminal that runs what follows its -e, as a real one would.
    hostile.program(QStringLiteral("x-terminal-emulator"), "shift\nexec \"$@\"\n");
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(hostile.folder) + ":/usr/bin:/bin");
    qunsetenv("TERMINAL");
    qputenv("SHELL", "/bin/true");

    ViewModelHarness harness;
    AppViewModel& viewModel = harness.makeViewModel();
    auto settings = viewModel.settings();
    settings.codexCLIExecutablePath = u"  " + codex + u"\n";
    viewModel.setSettings(settings);
    viewModel.openCodexCLI();
    EXPECT_EQ(hostile.recorded(), codex);
    qputenv("PATH", savedPath);
    qunsetenv("SHELL");
}

TEST(SystemCommandsTest, RestartRunsTheExecutableAgainOrKeepsRunning)
{
    HostileFolder hostile;
    for (const QString& path : {hostile.program(QStringLiteral("vantorel")), QStringLiteral("/nonexistent/vantorel")}) {
        ViewModelHarness harness;
        auto dependencies = harness.dependencies();
        dependencies.applicationPath = path;
        int quits = 0;
        dependencies.quitApplication = [&quits] { ++quits; };
        AppViewModel& viewModel = harness.makeViewModel(dependencies);
        viewModel.restartApp();
        if (QFile::exists(path)) {
            EXPECT_EQ(quits, 1);
            EXPECT_EQ(hostile.recorded(), path);
        } else {
            EXPECT_EQ(quits, 0) << "a restart that cannot start must not quit";
            EXPECT_EQ(viewModel.launchAtLoginMessage(), u"再起動に失敗しました: 実行ファイルが見つかりません: " + path);
            EXPECT_EQ(harness.logLines(QStringLiteral("app.restartFailed")).size(), 1);
        }
    }
}

TEST(SystemCommandsTest, WhatFindsNoProgramIsSaidInTheWindowForAWhile)
{
    ViewModelHarness harness;
    auto dependencies = harness.dependencies();
    QStringList commands;
    dependencies.runInTerminal = [&commands](const QString& command) {
        commands.append(command);
        return false;
    };
    AppViewModel& viewModel = harness.makeViewModel(dependencies);
    viewModel.openCodexCLI();
    drainEvents(); // the clearing wait starts on a later turn
    EXPECT_EQ(commands, QStringList{QStringLiteral("codex")});
    EXPECT_EQ(viewModel.openFailureMessage(),
              QStringLiteral("「Codex CLI」を開けませんでした。端末アプリが見つかりません。"));
    EXPECT_EQ(harness.logLines(QStringLiteral("codexCLI.terminalUnavailable")).size(), 1);

    // A later failure replaces the text and outlives the earlier one's timer.
    harness.sleeper->advance(2);
    harness.urlOpener->result = false;
    viewModel.openDiagnosticsLog();
    drainEvents();
    const QString logFailure = QStringLiteral("「診断ログ」を開けませんでした。ファイルを開くアプリが見つかりません。");
    EXPECT_EQ(viewModel.openFailureMessage(), logFailure);
    harness.sleeper->advance(OpenFailure::displaySeconds - 2);
    drainEvents();
    EXPECT_EQ(viewModel.openFailureMessage(), logFailure);
    harness.sleeper->advance(2);
    drainEvents();
    EXPECT_FALSE(viewModel.openFailureMessage());

    harness.urlOpener->result = true;
    viewModel.openDiagnosticsLog();
    EXPECT_EQ(harness.urlOpener->opened.size(), 2);
    EXPECT_FALSE(viewModel.openFailureMessage());
}

} // namespace
} // namespace vantorel
