#include "SyncUiFixtures.h"

#include "app/syncui/MacSyncSnapshotStore.h"
#include "app/viewmodel/AppViewModel.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "sync/model/SyncCoding.h"
#include "sync/model/UsageSyncError.h"
#include "support/QtPrinters.h"
#include "support/ViewModelHarness.h"

#include <gtest/gtest.h>

using namespace vantorel;
using namespace vantorel::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QUuid host = idNumber(9'999);
const QString revisionKey = MacSyncSnapshotStore::revisionKey();

struct StoreRig
{
    InMemorySettingsStore defaults;
    MacSyncSnapshotStore store{host, defaults, u"Studio"_s, u"1.0"_s, u"7"_s};
};

} // namespace

TEST(MacSyncSnapshotStore, RevisionFollowsTheStoredCounter)
{
    const std::pair<SettingsStore::Value, std::uint64_t> rows[] = {
        {u"41"_s, 42}, {u"+7"_s, 8}, {u""_s, 1}, {u"abc"_s, 1}, {u"-3"_s, 1}, {u"5x"_s, 1}, {u"+"_s, 1},
        {u"18446744073709551616"_s, 1}, {std::int64_t(41), 1},
    };
    for (const auto& [stored, expected] : rows) {
        StoreRig rig;
        rig.defaults.set(revisionKey, stored);
        EXPECT_EQ(rig.store.update(displayInput(), syncNow).revision, expected);
        EXPECT_EQ(rig.defaults.stringValue(revisionKey), QString::number(expected));
    }
}

TEST(MacSyncSnapshotStore, FailuresAndUnchangedContentWriteNothing)
{
    StoreRig rig;
    MacSyncDisplayInput input = displayInput();
    input.usageHistory.append({idNumber(50), MonitoredProvider::codex, syncNow - 2'591'990.0, 10.0, 20.0, 1});
    const UsageSyncSnapshot first = rig.store.update(input, syncNow + 0.9);
    EXPECT_EQ(first.generatedAt, syncNow);
    // A counter write would show as 2 here; an unchanged build leaves the sentinel alone.
    rig.defaults.set(revisionKey, u"18446744073709551615"_s);
    EXPECT_EQ(rig.store.update(input, syncNow + 5), first);
    MacSyncDisplayInput changed = input;
    changed.refreshIntervalSeconds = 600;
    EXPECT_THROW(rig.store.update(changed, syncNow), UsageSyncError);
    EXPECT_EQ(rig.defaults.stringValue(revisionKey), u"18446744073709551615"_s);
    EXPECT_EQ(rig.store.update(input, syncNow + 6), first);

    // The oldest sample leaves the 30-day window: new content, new revision.
    rig.defaults.set(revisionKey, u"1"_s);
    const UsageSyncSnapshot pruned = rig.store.update(input, syncNow + 12.9);
    EXPECT_EQ(pruned.revision, 2u);
    EXPECT_EQ(pruned.generatedAt, syncNow + 12);
    EXPECT_EQ(pruned.usageHistory.size(), first.usageHistory.size() - 1);

    InMemorySettingsStore defaults;
    MacSyncSnapshotStore badName(host, defaults, u"Mac\u0007"_s, u"1.0"_s, u"7"_s);
    EXPECT_THROW(badName.update(input, syncNow), UsageSyncError);
    EXPECT_FALSE(defaults.contains(revisionKey));
}

TEST(MacSyncSnapshotStore, AnEqualInputIsBuiltAgainWhenTimeChangesItsContent)
{
    StoreRig rig;
    MacSyncDisplayInput input = displayInput();
    input.notificationHistory.append(notification(7, syncNow + 100)); // shown from syncNow + 40
    const UsageSyncSnapshot first = rig.store.update(input, syncNow);
    EXPECT_EQ(rig.store.update(input, syncNow + 39), first);
    EXPECT_EQ(rig.store.update(input, syncNow + 40).revision, first.revision + 1);
    EXPECT_EQ(rig.store.update(input, syncNow).notificationHistory, first.notificationHistory); // clock set back
    // Another input with the same content (dates count in whole seconds) keeps the snapshot.
    MacSyncDisplayInput same = input;
    same.codex.snapshot->updatedAt = same.codex.snapshot->updatedAt + 0.25;
    EXPECT_EQ(rig.store.update(same, syncNow + 1).revision, first.revision + 2);
}

TEST(MacSyncSnapshotStore, BuildsAValidSnapshotThatRoundTrips)
{
    for (const auto& [interval, expected] : {std::pair{10, 60}, {100'000, 86'400}, {300, 300}}) {
        StoreRig rig;
        MacSyncDisplayInput input = displayInput();
        input.refreshIntervalSeconds = interval;
        EXPECT_EQ(rig.store.update(input, syncNow).refreshIntervalSeconds, expected);
    }

    // Stored readings are not range-checked: a negative count and dates past the year 9999 are
    // dropped rather than failing every rebuild.
    StoreRig rig;
    MacSyncDisplayInput input = displayInput();
    const Date year10000 = Date::fromUnixSeconds(253'402'300'800.0);
    input.codex.snapshot->bankedReset = BankedResetSummary{-1, std::nullopt, std::nullopt, std::nullopt};
    input.codex.snapshot->fiveHourResetAt = input.codex.snapshot->updatedAt = year10000;
    input.notificationHistory.append(notification(7, Date::distantPast()));
    const UsageSyncSnapshot snapshot = rig.store.update(input, syncNow);
    EXPECT_NO_THROW(snapshot.validate(host));
    EXPECT_EQ(SyncCoding::decode<UsageSyncSnapshot>(SyncCoding::encode(snapshot)), snapshot);
    const SyncProviderSnapshot& codex = snapshot.providers[0];
    EXPECT_FALSE(codex.bankedResetCount || codex.updatedAt || codex.windows[0].resetAt);
    EXPECT_TRUE(codex.windows[1].resetAt);
    EXPECT_EQ(snapshot.providers[1].statusText, u"MacでOFF"_s);
    EXPECT_EQ(snapshot.usageHistory.size(), 3);
    EXPECT_EQ(snapshot.notificationHistory.size(), 3);
}

TEST(MacSyncDisplayInput, CaptureShowsOnlyTheWatchedClaudeStatus)
{
    ViewModelHarness harness;
    AppViewModel& vm = harness.makeViewModel();
    AppSettings settings = vm.settings();
    settings.claudeEnabled = true;
    settings.claudeStatusEnabled = false;
    vm.setSettings(settings);
    vm.publishedState().claudeStatusErrorMessage = u"old"_s;
    vm.publishedState().lastErrorMessage = u"codex status"_s;

    MacSyncDisplayInput input = MacSyncDisplayInput::capture(vm);
    EXPECT_FALSE(input.claude.status || input.claude.statusFailed);
    EXPECT_EQ(input.codex.status, vm.statusSummary().overallStatus);
    EXPECT_TRUE(input.codex.statusFailed);

    settings.claudeStatusEnabled = true;
    vm.setSettings(settings);
    input = MacSyncDisplayInput::capture(vm);
    EXPECT_TRUE(input.claude.status && input.claude.statusFailed);
}
