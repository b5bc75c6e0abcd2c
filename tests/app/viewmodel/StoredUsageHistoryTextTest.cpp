#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/JsonFileSettingsStore.h"
#include "core/model/HistoryRetention.h"
#include "support/DrainEvents.h"
#include "support/NonFinite.h"
#include "support/ViewModelHarness.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using Keys = StoredState::Keys;

UsageHistoryEntry storedSample(int n)
{
    return {QUuid::createUuid(),
            n % 4 == 0 ? MonitoredProvider::claude : MonitoredProvider::codex,
            Date(794'045'700.25 + n * 901),
            40.0 + n % 9,
            n % 3 ? std::optional<double>() : 70.5,
            1};
}

// Each step changes the history as the application does; the text made from the last write's
// text must equal the text made afresh, byte for byte, so the file is the same either way.
TEST(StoredUsageHistoryText, AppendedTextEqualsTheTextMadeAfreshAfterEveryKindOfChange)
{
    StoredState::UsageHistoryText text;
    QList<UsageHistoryEntry> history;
    for (int i = 0; i < HistoryRetention::maximumUsageEntries; ++i)
        history.append(storedSample(i));
    int n = int(history.size());
    auto expectSame = [&](const char* step) {
        SCOPED_TRACE(step);
        EXPECT_EQ(text.encode(history), StoredState::usageHistoryStoreText(history));
    };
    expectSame("first write");
    history.append(storedSample(++n));
    expectSame("one sample appended");
    for (int reading = 0; reading < 4; ++reading) {
        history.removeFirst();
        history.append(storedSample(++n));
        expectSame("the oldest dropped by retention for each new one");
    }
    history.remove(0, 100);
    expectSame("many dropped at once");
    history.removeIf([](const UsageHistoryEntry& entry) { return entry.provider == MonitoredProvider::claude; });
    expectSame("one provider's samples cleared");
    history[7].weeklyRemainingPercent = CompactPercent::from(12.5);
    expectSame("a sample changed in place");
    history[3].recordedAt = Date(test::nan);
    history.append(storedSample(++n));
    history.last().recordedAt = Date(test::nan);
    history.prepend(history.at(3));
    expectSame("samples that cannot be encoded are left out wherever they are");
    history.removeFirst();
    history.append(storedSample(++n));
    expectSame("appended after a left-out sample");
    history = {storedSample(9'000), storedSample(9'001)};
    expectSame("replaced by another history");
    history.clear();
    expectSame("empty");
}

// What the application writes is the text made afresh: after each change the store's file holds
// the view model's history as usageHistoryStoreText gives it.
TEST(StoredUsageHistoryText, TheSettingsFileHoldsTheTextMadeAfresh)
{
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("defaults.json"));
    ViewModelHarness harness;
    auto store = std::make_shared<JsonFileSettingsStore>(path, harness.clock.clock());
    AppViewModelDependencies dependencies = harness.dependencies();
    dependencies.defaults = store;
    AppViewModel& viewModel = harness.makeViewModel(dependencies);
    QList<UsageHistoryEntry> history;
    for (int i = 0; i < HistoryRetention::maximumUsageEntries; ++i)
        history.append(storedSample(i));
    viewModel.setUsageHistory(history);
    viewModel.persistUsageHistory();
    store->flush();
    for (int i = 1; i <= 3; ++i) {
        history.removeFirst();
        history.append(storedSample(10'000 + i));
        viewModel.setUsageHistory(history);
        viewModel.persistUsageHistory();
        drainEvents();
        store->flush();
        EXPECT_EQ(JsonFileSettingsStore(path).dataValue(Keys::usageHistory),
                  StoredState::usageHistoryStoreText(history));
    }
}

} // namespace
} // namespace vantorel
