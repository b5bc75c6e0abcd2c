#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/model/ModelCoding.h"
#include "support/DrainEvents.h"
#include "support/FakeNotificationBackend.h"
#include "support/ManualSleeper.h"
#include "support/QtPrinters.h"
#include "support/ViewModelHarness.h"
#include "support/WaitUntil.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

namespace vantorel {
namespace {

using Keys = StoredState::Keys;
using Status = NotificationDeliveryStatus;

template <typename T>
void storeList(InMemorySettingsStore& store, const QString& key, const QList<T>& items)
{
    store.set(key, json::write(toJsonArray(items), json::Form::store));
}

NotificationHistoryEntry historyEntry(QUuid id, Date createdAt, Status local, Status discord)
{
    NotificationHistoryEntry entry;
    entry.id = id;
    entry.title = QStringLiteral("t");
    entry.body = QStringLiteral("b");
    entry.createdAt = createdAt;
    entry.delivery = NotificationDeliveryEvidence{local, discord, false, std::nullopt};
    return entry;
}

PendingDiscordNotification outboxItem(const QString& id, QUuid generation, Date createdAt)
{
    return PendingDiscordNotification(id, QStringLiteral("message"), createdAt, 0, std::nullopt, std::nullopt,
                                      std::nullopt, generation);
}

std::optional<NotificationDeliveryEvidence> evidenceOf(const AppViewModel& vm, QUuid id)
{
    for (const auto& entry : vm.notificationHistory()) {
        if (entry.id == id) {
            return entry.delivery;
        }
    }
    return std::nullopt;
}

void markMigrated(InMemorySettingsStore& store, const AppSettings& settings = AppSettings())
{
    store.set(Keys::defaultsApplied, true);
    store.set(Keys::settings, json::write(toJson(settings), json::Form::store));
}

struct Case
{
    const char* name;
    bool automaticallyStartServices;
    std::function<void(ViewModelHarness&)> seed;
    std::function<void(ViewModelHarness&, AppViewModel&)> check;
};

TEST(AppViewModelStartUp, Table)
{
    const Case cases[] = {
        {"empty store: migration written, episode removed, authorisation checked",
         true,
         [](ViewModelHarness& h) {
             h.defaults->set(Keys::claudeAuthFailureEpisode, QStringLiteral("reauthentication-required"));
             h.notificationBackend->setAuthorizationStatus(NotificationBackend::AuthorizationStatus::denied);
         },
         [](ViewModelHarness& h, AppViewModel& vm) {
             EXPECT_EQ(vm.notificationAuthorizationState(), AppNotificationAuthorizationState::checking);
             const auto stored = vm.storedState().codable(Keys::settings, &appSettingsFromJson);
             ASSERT_TRUE(stored);
             EXPECT_TRUE(stored->launchAtLogin);
             EXPECT_EQ(stored->menuDisplayMode, MenuDisplayMode::compactUsage);
             EXPECT_TRUE(stored->codexCLIAutoRefreshEnabled);
             EXPECT_EQ(h.defaults->boolValue(Keys::defaultsApplied), true);
             EXPECT_FALSE(h.defaults->contains(Keys::claudeAuthFailureEpisode));
             EXPECT_EQ(h.launchAtLoginCalls(), (QList<std::pair<bool, bool>>{{true, false}}));
             ASSERT_TRUE(waitUntil([&] { return !h.logLines(QStringLiteral("refreshScheduledItems.end")).isEmpty(); }));
             EXPECT_EQ(vm.notificationAuthorizationState(), AppNotificationAuthorizationState::denied);
             EXPECT_EQ(h.logLines(QStringLiteral("viewModel.init")),
                       QStringList(QStringLiteral("viewModel.init refreshInterval=300 codexEnabled=true claudeEnabled=false "
                                                  "codexAuto=true claudeAuto=true discordReset=false launchAtLogin=true")));
             EXPECT_EQ(h.logLines(QStringLiteral("keychain.")),
                       QStringList(QStringLiteral("keychain.savedStateLoaded api=false discord=false")));
         }},
        {"migration done with launch at login off: no login-item call",
         true,
         [](ViewModelHarness& h) {
             AppSettings settings;
             settings.launchAtLogin = false;
             markMigrated(*h.defaults, settings);
         },
         [](ViewModelHarness& h, AppViewModel& vm) {
             EXPECT_FALSE(vm.settings().launchAtLogin);
             EXPECT_TRUE(h.launchAtLoginCalls().isEmpty());
         }},
        {"130 shuffled history entries: the 120 newest, interrupted deliveries repaired and written back",
         false,
         [](ViewModelHarness& h) {
             QList<NotificationHistoryEntry> entries;
             for (int i = 0; i < 130; ++i) {
                 entries.append(historyEntry(QUuid::createUuid(), Date(1000.0 * i), Status::submitting,
                                             i % 2 ? Status::submitting : Status::accepted));
             }
             std::shuffle(entries.begin(), entries.end(), std::mt19937(7));
             storeList(*h.defaults, Keys::notificationHistory, entries);
         },
         [](ViewModelHarness& h, AppViewModel& vm) {
             const auto& history = vm.notificationHistory();
             ASSERT_EQ(history.size(), 120);
             EXPECT_EQ(history.front().createdAt, Date(129'000));
             EXPECT_EQ(history.back().createdAt, Date(10'000));
             EXPECT_EQ(history[0].delivery->discord, Status::outcomeUnknown);
             EXPECT_TRUE(history[0].delivery->discordResultWasUnknown);
             EXPECT_EQ(history[1].delivery->discord, Status::accepted);
             EXPECT_FALSE(history[1].delivery->discordResultWasUnknown);
             EXPECT_EQ(history[1].delivery->local, Status::notRecorded);
             const auto stored = vm.storedState().codable(Keys::notificationHistory, +[](const Json& value) {
                 return listFromJson(value, &notificationHistoryEntryFromJson);
             });
             EXPECT_EQ(stored, history);
             EXPECT_TRUE(h.logLines().isEmpty());
         }},
        {"outbox items dropped for room or age are cancelled in their history records",
         false,
         [](ViewModelHarness& h) {
             const Date now = h.clock.now();
             QList<PendingDiscordNotification> outbox;
             QList<NotificationHistoryEntry> history;
             auto add = [&](const QString& id, QUuid generation, Date createdAt) {
                 outbox.append(outboxItem(id, generation, createdAt));
                 history.append(historyEntry(generation, createdAt, Status::disabled, Status::waiting));
             };
             add(QStringLiteral("old"), QUuid::fromString(QStringLiteral("{00000000-0000-0000-0000-00000000000a}")), now - 300'000);
             add(QStringLiteral("dup"), QUuid::fromString(QStringLiteral("{00000000-0000-0000-0000-00000000000b}")), now - 300'000);
             add(QStringLiteral("dup"), QUuid::fromString(QStringLiteral("{00000000-0000-0000-0000-00000000000c}")), now - 10);
             add(QStringLiteral("first"), QUuid::fromString(QStringLiteral("{00000000-0000-0000-0000-00000000000d}")), now - 2000);
             for (int i = 0; i < 127; ++i) {
                 outbox.append(outboxItem(QString::number(i), QUuid::createUuid(), now - 1000 + i));
             }
             storeList(*h.defaults, Keys::pendingDiscordResetNotifications, outbox);
             storeList(*h.defaults, Keys::notificationHistory, history);
         },
         [](ViewModelHarness& h, AppViewModel& vm) {
             auto evidence = [&](char last) {
                 return evidenceOf(vm, QUuid::fromString(QStringLiteral("{00000000-0000-0000-0000-00000000000") + QChar(last) + u'}'));
             };
             using Reason = NotificationCancellationReason;
             EXPECT_EQ(evidence('a')->discordCancellationReason, Reason::retentionExpired);
             EXPECT_EQ(evidence('b')->discord, Status::cancelled);
             EXPECT_EQ(evidence('b')->discordCancellationReason, Reason::retentionExpired);
             EXPECT_EQ(evidence('c')->discord, Status::waiting);
             EXPECT_EQ(evidence('d')->discord, Status::cancelled);
             EXPECT_EQ(evidence('d')->discordCancellationReason, Reason::capacityLimit);
             EXPECT_EQ(vm.pendingDiscordResetNotifications().size(), 128);
             const auto stored = vm.storedState().codable(Keys::pendingDiscordResetNotifications, &pendingDiscordNotificationsFromJson);
             EXPECT_EQ(stored, vm.pendingDiscordResetNotifications());
             (void)h;
         }},
        {"the usage history loads without its damaged, expired and future samples, oldest first",
         false,
         [](ViewModelHarness& h) {
             const Date now = h.clock.now();
             auto entry = [](int n, Date at) {
                 return json::write(toJson(UsageHistoryEntry{QUuid::fromString(QStringLiteral("{00000000-0000-0000-0000-00000000000") + QChar(u'0' + n) + u'}'),
                                                             MonitoredProvider::claude, at, 10.0 + n, std::nullopt, std::nullopt}),
                                    json::Form::store);
             };
             const QByteArray text = QByteArray("[") + entry(1, now - 60) + ',' + entry(2, now - 3'000'000) + ",{\"id\":7},"
                                     + entry(3, now - 120) + ',' + entry(4, now + 3600) + ",[]]";
             h.defaults->set(Keys::usageHistory, text);
         },
         [](ViewModelHarness& h, AppViewModel& vm) {
             QList<double> kept;
             for (const UsageHistoryEntry& entry : vm.usageHistory()) {
                 kept.append(*entry.fiveHourRemainingPercent);
             }
             EXPECT_EQ(kept, (QList<double>{13, 11}));
             (void)h;
         }},
        {"the usage history is stored as its samples' text, leaving out a sample that cannot be encoded",
         false,
         [](ViewModelHarness& h) {
             const Date now = h.clock.now();
             h.defaults->set(Keys::usageHistory,
                             json::write(toJsonArray(QList<UsageHistoryEntry>{{QUuid::createUuid(), MonitoredProvider::codex,
                                                                               now - 60, 40.5, 70.0, 1}}),
                                         json::Form::store));
         },
         [](ViewModelHarness& h, AppViewModel& vm) {
             QList<UsageHistoryEntry> history = vm.usageHistory();
             history.append({QUuid::createUuid(), MonitoredProvider::claude, h.clock.now(), 20.0, std::nullopt, std::nullopt});
             EXPECT_EQ(h.defaults->dataValue(Keys::usageHistory), json::write(toJsonArray(vm.usageHistory()), json::Form::store));
             vm.setUsageHistory(history);
             vm.persistUsageHistory();
             const QByteArray stored = json::write(toJsonArray(history), json::Form::store);
             EXPECT_EQ(h.defaults->dataValue(Keys::usageHistory), stored);
             QList<UsageHistoryEntry> refused = history;
             refused.insert(1, {QUuid::createUuid(), MonitoredProvider::codex, h.clock.now(), std::nan(""), 1.0, 1});
             vm.setUsageHistory(refused);
             vm.persistUsageHistory();
             EXPECT_EQ(h.defaults->dataValue(Keys::usageHistory), stored);
         }},
        {"undecodable values read as absent and keep their bytes",
         false,
         [](ViewModelHarness& h) {
             h.defaults->set(Keys::defaultsApplied, true);
             h.defaults->set(Keys::settings, QByteArray("{broken"));
             h.defaults->set(Keys::usage, QByteArray(R"({"source":"nonsense"})"));
             h.defaults->set(Keys::claudeFailedSnapshotDate, QStringLiteral("yesterday"));
             h.defaults->set(Keys::usageHistory, QByteArray("[1, 2"));
         },
         [](ViewModelHarness& h, AppViewModel& vm) {
             EXPECT_EQ(vm.settings(), AppSettings());
             EXPECT_FALSE(vm.usageSnapshot());
             EXPECT_FALSE(vm.claudeFailedSnapshotDate());
             EXPECT_TRUE(vm.usageHistory().isEmpty());
             EXPECT_EQ(h.defaults->dataValue(Keys::settings), QByteArray("{broken"));
             EXPECT_EQ(h.defaults->dataValue(Keys::usage), QByteArray(R"({"source":"nonsense"})"));
             EXPECT_EQ(h.defaults->dataValue(Keys::usageHistory), QByteArray("[1, 2"));
         }},
        {"services not started: no log, no timer, repaired state stored",
         false,
         [](ViewModelHarness& h) {
             storeList(*h.defaults, Keys::notificationHistory,
                       QList<NotificationHistoryEntry>{historyEntry(QUuid::createUuid(), Date(5), Status::submitting, Status::waiting)});
         },
         [](ViewModelHarness& h, AppViewModel& vm) {
             EXPECT_TRUE(h.logLines().isEmpty());
             EXPECT_EQ(h.sleeper->pendingCount(), 0);
             EXPECT_FALSE(vm.nextAutoRefreshAt());
             const auto stored = vm.storedState().codable(Keys::notificationHistory, +[](const Json& value) {
                 return listFromJson(value, &notificationHistoryEntryFromJson);
             });
             ASSERT_TRUE(stored && stored->size() == 1);
             EXPECT_EQ(stored->front().delivery->local, Status::notRecorded);
             EXPECT_TRUE(h.launchAtLoginCalls().isEmpty());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ViewModelHarness harness;
        c.seed(harness);
        AppViewModel& vm = harness.makeViewModel(c.automaticallyStartServices);
        c.check(harness, vm);
    }
}

TEST(AppViewModelChanges, ATurnsChangesAreAnnouncedOnceOnTheNextTurn)
{
    ViewModelHarness harness;
    AppViewModel& vm = harness.makeViewModel();
    drainEvents();
    QSignalSpy spy(&vm, &AppViewModel::changed);
    vm.setOnboardingProgress(OnboardingProgress{1, OnboardingCompletionState::deferred, 2});
    vm.setDiscordTestPreview(DiscordTestDraft{QUuid::createUuid(), QStringLiteral("x")});
    EXPECT_EQ(spy.count(), 0);
    drainEvents();
    EXPECT_EQ(spy.count(), 1);
}

} // namespace
} // namespace vantorel
