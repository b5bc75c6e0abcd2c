#include "app/platform/LoginItemService.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/LaunchAtLogin.h"
#include "support/DrainEvents.h"
#include "support/TestFiles.h"
#include "support/ViewModelHarness.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(LaunchAtLoginTest, RegistersRemovesAndReports)
{
    const QString enabled = QStringLiteral("自動開始を有効にしました。");
    const QString disabled = QStringLiteral("自動開始を無効にしました。");
    const QString percent = QStringLiteral("実行ファイルのパスに「%」を含むため、ログイン時に起動できません。");
    struct Row {
        QByteArray entryBefore; // appended to an entry of ours; "-" for none
        const char* program;
        bool enable;
        bool showSuccessMessage;
        std::optional<QString> message;
        QString log;
        bool entryAfter;
    };
    const Row rows[] = {
        {"-", "vantorel", true, true, enabled, "launchAtLogin.enabled", true},
        {"", "vantorel", true, false, std::nullopt, "launchAtLogin.enabled", true},
        {"Hidden=true\n", "vantorel", true, false, QStringLiteral("自動開始には、デスクトップの自動起動設定でこのアプリを有効にしてください。"),
         "launchAtLogin.requiresApproval", true},
        {"-", "100%", true, true, u"自動開始の設定に失敗しました: " + percent, u"launchAtLogin.error enabled=true " + percent, false},
        {"", "vantorel", false, true, disabled, "launchAtLogin.disabled", false},
        {"Hidden=true\n", "vantorel", false, true, disabled, "launchAtLogin.disabled", false},
        {"-", "vantorel", false, true, disabled, "launchAtLogin.disabled", false},
    };
    for (const auto& row : rows) {
        QTemporaryDir dir;
        const QString program = dir.filePath(QString::fromUtf8(row.program));
        test::writeFileBytes(program, "#!/bin/sh\n");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
        const LoginItemService service(dir.path(), program);
        if (row.entryBefore != "-")
            test::writeFileBytes(service.entryPath(), "[Desktop Entry]\nExec=" + program.toUtf8() + "\n" + row.entryBefore);
        ViewModelHarness harness;
        AppViewModel& viewModel = harness.makeViewModel();
        viewModel.publishedState().launchAtLoginMessage = QStringLiteral("前の表示");

        LaunchAtLogin::update(viewModel, service, row.enable, row.showSuccessMessage);
        EXPECT_EQ(viewModel.launchAtLoginMessage(), row.message) << row.log.toStdString();
        EXPECT_EQ(harness.logLines(QStringLiteral("launchAtLogin.")), QStringList{row.log});
        EXPECT_EQ(QFile::exists(service.entryPath()), row.entryAfter) << row.log.toStdString();
    }
}

// The entry is written (with its sync to disk) by the executor, not by the caller on the GUI
// thread; the outcome is reported there once the write is done. No write, no job.
TEST(LaunchAtLoginTest, WritesTheEntryAwayFromTheCaller)
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("vantorel"));
    test::writeFileBytes(program, "#!/bin/sh\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    const LoginItemService service(dir.path(), program);
    ViewModelHarness harness;
    AppViewModel& viewModel = harness.makeViewModel();
    viewModel.publishedState().launchAtLoginMessage = QStringLiteral("前の表示");
    std::vector<std::function<void()>> jobs;
    const LaunchAtLogin::Executor later = [&jobs](std::function<void()> job) { jobs.push_back(std::move(job)); };

    LaunchAtLogin::updateInBackground(viewModel, service, true, false, later);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_FALSE(QFile::exists(service.entryPath()));
    EXPECT_TRUE(harness.logLines(QStringLiteral("launchAtLogin.")).isEmpty());
    jobs.front()();
    EXPECT_TRUE(QFile::exists(service.entryPath()));
    drainEvents();
    EXPECT_EQ(viewModel.launchAtLoginMessage(), std::nullopt);
    EXPECT_EQ(harness.logLines(QStringLiteral("launchAtLogin.")), QStringList{QStringLiteral("launchAtLogin.enabled")});

    // Already registered: reported at once.
    LaunchAtLogin::updateInBackground(viewModel, service, true, true, later);
    EXPECT_EQ(jobs.size(), 1u);
    EXPECT_EQ(harness.logLines(QStringLiteral("launchAtLogin.")).size(), 2);

    LaunchAtLogin::updateInBackground(viewModel, service, false, true, later);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_TRUE(QFile::exists(service.entryPath()));
    jobs.back()();
    drainEvents();
    EXPECT_FALSE(QFile::exists(service.entryPath()));
    EXPECT_EQ(viewModel.launchAtLoginMessage(), QStringLiteral("自動開始を無効にしました。"));
}

} // namespace
} // namespace vantorel
