#include "app/viewmodel/AppViewModel.h"
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

TEST(StorageFailureMessage, NamesWhatFailedAndWhySettingsFirst)
{
    EXPECT_EQ(StoredState::storageFailureMessage({}, {}), std::nullopt);
    EXPECT_EQ(StoredState::storageFailureMessage(QStringLiteral("Read-only file system"), {}),
              QStringLiteral("設定を保存できませんでした: Read-only file system"));
    EXPECT_EQ(StoredState::storageFailureMessage(QStringLiteral("No space left on device"), QStringLiteral("Disk quota exceeded")),
              QStringLiteral("設定を保存できませんでした: No space left on device"));
    EXPECT_EQ(StoredState::storageFailureMessage({}, QStringLiteral("Permission denied")),
              QStringLiteral("ログを書き込めませんでした: Permission denied"));
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
    EXPECT_EQ(viewModel.storageFailureMessage(), QStringLiteral("設定を保存できませんでした: Not a directory"));
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
    EXPECT_EQ(viewModel.storageFailureMessage(), QStringLiteral("ログを書き込めませんでした: Not a directory"));

    AppDiagnostics::setLogDirectoryForTesting(root.filePath(QStringLiteral("logs")));
    AppDiagnostics::log(QStringLiteral("kept"));
    AppDiagnostics::flush();
    drainEvents();
    EXPECT_EQ(viewModel.storageFailureMessage(), std::nullopt);
    AppDiagnostics::setLogDirectoryForTesting({});
}

} // namespace
} // namespace vantorel
