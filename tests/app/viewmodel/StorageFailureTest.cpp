#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StorageFailureText.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/AppDiagnostics.h"
#include "core/foundation/JsonFileSettingsStore.h"
#include "support/DrainEvents.h"
#include "support/TestFiles.h"
#include "support/ViewModelHarness.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(StorageFailureMessage, SaysTheCauseInJapaneseNamesTheFolderAndPutsTheSettingsFirst)
{
    const QString config = QStringLiteral("/home/u/.config/Vantorel");
    const QString state = QStringLiteral("/home/u/.local/state/Vantorel");
    EXPECT_EQ(StoredState::storageFailureMessage({}, {}, config, state), std::nullopt);
    const QString kept = QStringLiteral("変更はこのまま保持され、");
    struct Case {
        const char* reason;
        const char* settingsCause;
        const char* logCause;
    };
    for (const auto& [reason, settingsCause, logCause] :
         {Case{"Permission denied", "書き込む権限がない", "書き込む権限がない"},
          Case{"Operation not permitted", "書き込む権限がない", "書き込む権限がない"},
          Case{"No space left on device", "空き容量がない", "空き容量がない"},
          Case{"Disk quota exceeded", "空き容量がない", "空き容量がない"},
          Case{"Read-only file system", "読み取り専用", "読み取り専用"},
          Case{"Not a directory", "（Not a directory）", "（Not a directory）"}}) {
        const QString settings =
            StoredState::storageFailureMessage(QString::fromUtf8(reason), QStringLiteral("Permission denied"), config, state)
                .value_or(QString());
        EXPECT_TRUE(settings.contains(QString::fromUtf8(settingsCause)) && settings.contains(config)
                    && settings.contains(kept) && !settings.contains(state))
            << settings.toStdString();
        EXPECT_EQ(settings.contains(QString::fromUtf8(reason)), StorageFailureText::causeOf(QString::fromUtf8(reason))
                                                                    == StorageFailureText::Cause::other)
            << "a known cause is said in Japanese only: " << settings.toStdString();
        const QString log = StoredState::storageFailureMessage({}, QString::fromUtf8(reason), config, state).value_or(QString());
        EXPECT_TRUE(log.contains(QString::fromUtf8(logCause)) && log.contains(state) && log.contains(u"診断ログ"))
            << log.toStdString();
        EXPECT_FALSE(log.contains(kept)) << "the log promises nothing it does not keep";
    }
}

// A settings directory that cannot be made fails every write; the view model publishes why, and
// clears it after the first write that works once the obstacle is gone.
TEST(StorageFailure, TheViewModelPublishesASettingsWriteFailureUntilAWriteWorks)
{
    QTemporaryDir root;
    const QString blocker = root.filePath(QStringLiteral("config"));
    ASSERT_TRUE(test::writeFileBytes(blocker, "not a directory"));
    auto store = std::make_shared<JsonFileSettingsStore>(blocker + QStringLiteral("/Vantorel/defaults.json"));
    ViewModelHarness harness;
    AppViewModelDependencies dependencies = harness.dependencies();
    dependencies.defaults = store;
    AppViewModel& viewModel = harness.makeViewModel(dependencies);
    QSignalSpy changed(&viewModel, &AppViewModel::changed);
    store->flush();
    drainEvents();
    EXPECT_EQ(viewModel.storageFailureMessage(),
              StorageFailureText::settings(QStringLiteral("Not a directory"), blocker + QStringLiteral("/Vantorel")));
    EXPECT_GE(changed.count(), 1);

    ASSERT_TRUE(QFile::remove(blocker));
    AppSettings settings = viewModel.settings();
    settings.refreshIntervalSeconds += 60;
    viewModel.setSettings(settings);
    drainEvents();
    store->flush();
    drainEvents();
    EXPECT_EQ(viewModel.storageFailureMessage(), std::nullopt);
    EXPECT_TRUE(JsonFileSettingsStore(store->filePath()).contains(StoredState::Keys::settings));
}

TEST(StorageFailure, TheViewModelPublishesALogWriteFailureUntilALineIsWritten)
{
    QTemporaryDir root;
    const QString blocker = root.filePath(QStringLiteral("state"));
    ASSERT_TRUE(test::writeFileBytes(blocker, "not a directory"));
    ViewModelHarness harness;
    AppViewModel& viewModel = harness.makeViewModel();
    AppDiagnostics::setLogDirectoryForTesting(blocker + QStringLiteral("/Vantorel"));
    AppDiagnostics::log(QStringLiteral("lost"));
    AppDiagnostics::flush();
    drainEvents();
    EXPECT_EQ(viewModel.storageFailureMessage(),
              StorageFailureText::log(QStringLiteral("Not a directory"), blocker + QStringLiteral("/Vantorel")));

    AppDiagnostics::setLogDirectoryForTesting(root.filePath(QStringLiteral("logs")));
    AppDiagnostics::log(QStringLiteral("kept"));
    AppDiagnostics::flush();
    drainEvents();
    EXPECT_EQ(viewModel.storageFailureMessage(), std::nullopt);
    AppDiagnostics::setLogDirectoryForTesting({});
}

} // namespace
} // namespace vantorel
