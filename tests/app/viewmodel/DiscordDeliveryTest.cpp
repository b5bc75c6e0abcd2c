#include "app/platform/KeychainStore.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/DiscordSettingsActions.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/model/ModelCoding.h"
#include "core/model/NotificationMessageBuilder.h"
#include "core/rules/DiscordWebhookURLCache.h"
#include "support/DrainEvents.h"
#include "support/FakeSecretStore.h"
#include "support/ManualSleeper.h"
#include "support/QtPrinters.h"
#include "support/ViewModelHarness.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <functional>

namespace vantorel {
namespace {

using Keys = StoredState::Keys;
using Status = NotificationDeliveryStatus;

const QString webhook = QStringLiteral("https://discord.com/api/webhooks/123/tok");
const QString path = QStringLiteral("/api/webhooks/123/tok");
const QString apiKey = QStringLiteral("sk-secret-4711");
const TestHttpResponse accepted = TestHttpResponse::json(R"({"id":"1","channel_id":"2","webhook_id":"123"})");

// Discord on, the webhook in the keychain and answered by the harness's loopback server; one
// couponGrant item per queue() with its history record.
struct Outbox
{
    ViewModelHarness h;
    AppViewModel* vm = nullptr;
    int codexLoadsAtStart = 0;

    explicit Outbox(bool autoStart = false, const std::function<void(AppSettings&)>& tune = {})
    {
        AppSettings settings;
        settings.discordResetNotificationsEnabled = true;
        settings.discordMentionEveryone = false;
        if (tune) {
            tune(settings);
        }
        h.defaults->set(Keys::defaultsApplied, true);
        h.defaults->set(Keys::settings, json::write(toJson(settings), json::Form::store));
        h.secrets->put(KeychainStore::discordWebhookURLService, KeychainStore::account, webhook.toUtf8());
        make(autoStart);
        if (autoStart) {
            // After the start-up task only the worker sleeps. Its first refresh is let finish, not
            // cancelled: how far a cancelled one got would depend on how fast loopback answers.
            EXPECT_TRUE(waitUntil([this] { return !h.logLines(QStringLiteral("refreshScheduledItems.end")).isEmpty(); }));
            drainEvents();
            vm->tasks().refreshTask = TaskHandle();
            codexLoadsAtStart = h.codexLoadCount();
        }
    }
    ~Outbox()
    {
        // The only stored values that hold text the user or Discord gave.
        QStringList texts = h.logLines();
        for (const QString& key : {Keys::settings, Keys::pendingDiscordResetNotifications, Keys::notificationHistory}) {
            texts.append(QString::fromUtf8(h.defaults->dataValue(key).value_or(QByteArray())));
        }
        for (const QString& text : texts) {
            EXPECT_FALSE(text.contains(path) || text.contains(apiKey)) << text.toStdString();
        }
    }
    void make(bool autoStart = false) { vm = &h.makeViewModel(autoStart); }
    Date now() const { return h.clock.now(); }
    PendingDiscordNotification queue(const QString& id, const QString& content = QStringLiteral("grant"))
    {
        NotificationHistoryEntry entry;
        entry.id = QUuid::createUuid();
        entry.delivery = NotificationDeliveryEvidence{Status::notRecorded, Status::waiting, false, std::nullopt};
        vm->publishedState().notificationHistory.prepend(entry);
        const PendingDiscordNotification item(id, content, now(), 0, std::nullopt, std::nullopt,
                                              DiscordNotificationEvent::CouponGrant{now()}, entry.id);
        vm->publishedState().pendingDiscordResetNotifications.append(item);
        vm->persistPendingDiscordResetNotifications();
        return item;
    }
    std::optional<PendingDiscordNotification> queued(const PendingDiscordNotification& item) const
    {
        const auto& outbox = vm->pendingDiscordResetNotifications();
        const auto found = std::find_if(outbox.begin(), outbox.end(), [&](const auto& q) { return q.isSameItem(item); });
        return found == outbox.end() ? std::nullopt : std::optional(*found);
    }
    NotificationDeliveryEvidence evidence(const PendingDiscordNotification& item) const
    {
        const auto& history = vm->notificationHistory();
        const auto entry = std::find_if(history.begin(), history.end(), [&](const auto& e) { return e.id == item.generation; });
        return entry->delivery.value_or(NotificationDeliveryEvidence());
    }
    void pass() { QCoro::waitFor(vm->deliverPendingDiscordResetNotifications()); }
    int posts() const { return int(h.server.requests(path).size()); }
    Json lastBody() const { return *json::parse(h.server.requests(path).last().body); }
};

struct DeliveryCase
{
    const char* name;
    std::function<void(Outbox&)> run;
    std::function<void(AppSettings&)> settings = {};
};

void runCases(const std::initializer_list<DeliveryCase>& cases, bool autoStart = false)
{
    for (const DeliveryCase& c : cases) {
        SCOPED_TRACE(c.name);
        Outbox o(autoStart, c.settings);
        c.run(o);
    }
}

TEST(DiscordDelivery, PassesOverLoopbackHttp)
{
    runCases({
        {"accepted: removed; an unsettled mention settles on and mentions everyone",
         [](Outbox& o) {
             o.vm->mutableState().settings.discordMentionEveryone.reset();
             const auto a = o.queue(QStringLiteral("a"));
             o.h.server.enqueue(path, accepted);
             o.pass();
             EXPECT_EQ(o.evidence(a).discord, Status::accepted);
             EXPECT_TRUE(o.vm->pendingDiscordResetNotifications().isEmpty());
             EXPECT_EQ(o.vm->settings().discordMentionEveryone, true);
             EXPECT_EQ(o.lastBody()["allowed_mentions"]["parse"], Json::array({"everyone"}));
             EXPECT_TRUE(json::qstr(o.lastBody()["content"].get<std::string>())
                             .endsWith(QStringLiteral("\ngrant\n\n") + NotificationMessageBuilder::applicationDisplayName()
                                       + QStringLiteral(": ") + DiscordSettingsActions::versionText()));
         }},
        {"503: unknown, the pass ends, backed off 60/300/900/3600 s, the flag outlives a later success",
         [](Outbox& o) {
             const auto a = o.queue(QStringLiteral("a"));
             const auto b = o.queue(QStringLiteral("b"));
             for (const double delay : {60.0, 300.0, 900.0, 3600.0}) {
                 o.h.server.enqueue(path, TestHttpResponse::text("busy", 503));
                 o.pass();
                 EXPECT_EQ(o.evidence(a).discord, Status::outcomeUnknown);
                 EXPECT_EQ(o.queued(a)->nextAttemptAt - o.now(), delay);
                 EXPECT_TRUE(o.vm->discordWebhookMessage()->startsWith(QStringLiteral("結果不明です。")));
                 o.h.clock.advance(delay);
             }
             EXPECT_EQ(o.lastBody()["allowed_mentions"]["parse"], Json::array());
             EXPECT_EQ(o.queued(b)->attemptCount, 0);
             o.h.server.enqueue(path, accepted);
             o.h.server.enqueue(path, accepted);
             o.pass();
             EXPECT_EQ(o.evidence(a).discord, Status::accepted);
             EXPECT_TRUE(o.evidence(a).discordResultWasUnknown);
         }},
        {"404: attention stored, nothing posted until the webhook is saved again",
         [](Outbox& o) {
             const auto a = o.queue(QStringLiteral("a"));
             o.h.server.enqueue(path, TestHttpResponse::text("gone", 404));
             o.pass();
             EXPECT_EQ(o.h.defaults->boolValue(Keys::discordWebhookNeedsAttention), true);
             EXPECT_EQ(o.evidence(a).discord, Status::credentialUnavailable);
             o.h.clock.advance(3600);
             o.pass();
             EXPECT_EQ(o.posts(), 1);
             o.h.server.enqueue(path, accepted);
             QCoro::waitFor(o.vm->saveDiscordWebhookURL(webhook));
             EXPECT_TRUE(waitUntil([&] { return o.vm->pendingDiscordResetNotifications().isEmpty(); }));
         }},
        {"429: the larger named delay held, stored and copied into every item; the pass ends",
         [](Outbox& o) {
             const auto a = o.queue(QStringLiteral("a"));
             const auto b = o.queue(QStringLiteral("b"));
             TestHttpResponse limited = TestHttpResponse::json(R"({"retry_after":1.2})", 429);
             limited.headers.set("Retry-After", "2.5");
             o.h.server.enqueue(path, limited);
             o.pass();
             const Date hold = o.now() + 2.5;
             EXPECT_EQ(o.h.defaults->dateValue(Keys::discordServerRetryNotBefore), hold);
             EXPECT_EQ(o.queued(a)->serverRetryNotBefore, hold);
             EXPECT_EQ(o.queued(b)->serverRetryNotBefore, hold);
             EXPECT_EQ(o.evidence(a).discord, Status::rateLimited);
             EXPECT_EQ(o.posts(), 1);
         }},
        {"content too long: dropped for good, the next item goes out in the same pass",
         [](Outbox& o) {
             const auto a = o.queue(QStringLiteral("a"), QString(2100, u'x'));
             const auto b = o.queue(QStringLiteral("b"));
             o.h.server.enqueue(path, accepted);
             o.pass();
             EXPECT_EQ(o.evidence(a).discord, Status::invalidContent);
             EXPECT_EQ(o.evidence(b).discord, Status::accepted);
             EXPECT_EQ(o.posts(), 1);
         }},
        {"a stored hold beyond an hour (the clock went back) is cut when loaded",
         [](Outbox& o) {
             o.h.defaults->set(Keys::discordServerRetryNotBefore, o.now() + 86'400);
             o.make();
             EXPECT_EQ(o.h.defaults->dateValue(Keys::discordServerRetryNotBefore), o.now() + 3600);
         }},
        {"restart mid-post: the next view model reads the outcome as unknown and keeps the item",
         [](Outbox& o) {
             const auto a = o.queue(QStringLiteral("a"));
             TestHttpResponse held = accepted;
             held.delaySeconds = 60;
             o.h.server.enqueue(path, held);
             o.vm->deliverPendingDiscordResetNotifications();
             EXPECT_TRUE(waitUntil([&] { return o.posts() == 1; }));
             o.make();
             EXPECT_EQ(o.evidence(a).discord, Status::outcomeUnknown);
             EXPECT_TRUE(o.queued(a));
         }},
    });
}

TEST(DiscordDelivery, WorkerInVirtualTime)
{
    const auto sleepsUntil = [](Outbox& o, double seconds, const char* logged) {
        o.vm->scheduleDiscordOutboxWorker(o.now());
        drainEvents();
        EXPECT_EQ(o.h.sleeper->nextDeadline(), o.now() + seconds);
        EXPECT_EQ(o.h.logLines(QStringLiteral("discord.outbox.workerScheduled")).last(),
                  QStringLiteral("discord.outbox.workerScheduled delay=") + QLatin1String(logged));
    };
    const auto dueIn = [](Outbox& o, double seconds) {
        o.queue(QStringLiteral("a"));
        o.vm->mutableState().pendingDiscordResetNotifications[0].nextAttemptAt = o.now() + seconds;
    };
    const auto noWorker = [](Outbox& o) {
        drainEvents();
        EXPECT_FALSE(o.vm->tasks().discordOutboxWorkerTask.isRunning());
    };
    runCases(
        {
            {"one sleep until the next due item, the pass, then no worker; none with Discord off",
             [&](Outbox& o) {
                 dueIn(o, 100);
                 sleepsUntil(o, 100, "100.0s");
                 o.h.server.enqueue(path, accepted);
                 o.h.sleeper->advance(100);
                 EXPECT_TRUE(waitUntil([&] { return o.vm->pendingDiscordResetNotifications().isEmpty(); }));
                 noWorker(o);
                 dueIn(o, 0);
                 o.vm->mutableState().settings.discordResetNotificationsEnabled = false;
                 o.vm->scheduleDiscordOutboxWorker(o.now());
                 noWorker(o);
             }},
            {"a later server hold sets the wake",
             [&](Outbox& o) {
                 dueIn(o, 0);
                 o.vm->mutableState().discordServerRetryNotBefore = o.now() + 500;
                 sleepsUntil(o, 500, "500.0s");
             }},
            {"a due date beyond three days is logged whole and slept 259,200 s",
             [&](Outbox& o) {
                 dueIn(o, 300'000);
                 sleepsUntil(o, 259'200, "300000.0s");
             }},
            {"an expiry warning waiting for a reading: no timed wake, no Codex fetch",
             [&](Outbox& o) {
                 PendingDiscordNotification item(QStringLiteral("x"), QStringLiteral("expiry"), o.now(), 0, std::nullopt,
                                                 BankedResetExpiryIdentity{QStringLiteral("c1"), o.now() + 86'400},
                                                 std::nullopt, QUuid::createUuid());
                 item.bankedResetExpiryWait = BankedResetExpiryWait::observation(o.now() + 60);
                 o.vm->mutableState().pendingDiscordResetNotifications = {item};
                 o.h.clock.advance(60);
                 o.pass();
                 noWorker(o);
                 EXPECT_EQ(o.h.codexLoadCount(), o.codexLoadsAtStart);
             },
             [](AppSettings& s) {
                 s.codexCLIAutoRefreshEnabled = true;
                 s.bankedResetExpiryNotificationsEnabled = true;
             }},
            {"passes never overlap",
             [](Outbox& o) {
                 o.queue(QStringLiteral("a"));
                 o.h.server.enqueue(path, accepted);
                 o.vm->deliverPendingDiscordResetNotifications();
                 o.pass();
                 EXPECT_TRUE(waitUntil([&] { return o.vm->pendingDiscordResetNotifications().isEmpty(); }));
                 EXPECT_EQ(o.posts(), 1);
             }},
        },
        true);
}

TEST(DiscordDelivery, SettingsActions)
{
    runCases({
        {"a blank key stores nothing; a saved key deleted turns the rate refresh off",
         [](Outbox& o) {
             QCoro::waitFor(o.vm->saveAPIKey(QStringLiteral("  \n")));
             EXPECT_EQ(o.vm->apiKeyMessage(), QStringLiteral("API Key が空です。"));
             EXPECT_EQ(o.h.secrets->callCount(FakeSecretStore::Operation::save), 0);
             o.vm->mutableState().settings.apiRateAutoRefreshEnabled = true;
             QCoro::waitFor(o.vm->saveAPIKey(QStringLiteral(" ") + apiKey));
             EXPECT_EQ(o.h.secrets->stored(KeychainStore::openAIAPIKeyService, KeychainStore::account), apiKey.toUtf8());
             QCoro::waitFor(o.vm->deleteAPIKey());
             EXPECT_FALSE(o.vm->settings().apiRateAutoRefreshEnabled);
             EXPECT_EQ(o.vm->apiKeyMessage(), QStringLiteral("API Key を削除しました。"));
             EXPECT_EQ(o.vm->apiRateErrorMessage(), std::nullopt);
         }},
        {"an invalid URL never reaches the keychain",
         [](Outbox& o) {
             QCoro::waitFor(o.vm->saveDiscordWebhookURL(QStringLiteral("https://example.com/api/webhooks/1/x")));
             EXPECT_EQ(o.vm->discordWebhookMessage(), QStringLiteral("Discord Webhook URLの形式を確認してください。"));
             EXPECT_EQ(o.h.secrets->callCount(FakeSecretStore::Operation::save), 0);
         }},
        {"deleting the webhook turns Discord off and clears attention, preview and cache",
         [](Outbox& o) {
             o.vm->mutableState().discordWebhookNeedsAttention = true;
             o.vm->sendDiscordTestNotification();
             o.h.discordWebhookURLCache->resolve(SecureValueReadResult::value(webhook));
             QCoro::waitFor(o.vm->deleteDiscordWebhookURL());
             EXPECT_FALSE(o.vm->settings().discordResetNotificationsEnabled);
             EXPECT_EQ(o.h.defaults->boolValue(Keys::discordWebhookNeedsAttention), false);
             EXPECT_EQ(o.vm->discordTestPreview(), std::nullopt);
             EXPECT_EQ(o.h.discordWebhookURLCache->resolve(SecureValueReadResult::temporarilyUnavailable()),
                       DiscordWebhookURLResolution::temporarilyUnavailable());
         }},
        {"a 404 for a webhook replaced in flight shows the text but sets no flag",
         [](Outbox& o) {
             o.h.server.setHandler([&o](const RecordedHttpRequest&) {
                 o.vm->mutableState().discordDestinationGeneration = QUuid::createUuid();
                 return TestHttpResponse::text("gone", 404);
             });
             o.vm->sendDiscordTestNotification();
             QCoro::waitFor(o.vm->confirmDiscordTestNotification(*o.vm->discordTestPreview()));
             EXPECT_EQ(o.vm->discordWebhookMessage(), QStringLiteral("Webhookの保存先・有効性・キーリングの許可を確認してください。"));
             EXPECT_FALSE(o.vm->discordWebhookNeedsAttention());
         }},
        {"a stale draft confirms nothing; the current one goes out once as shown, never mentioning",
         [](Outbox& o) {
             o.vm->mutableState().settings.discordMentionEveryone = true;
             o.vm->sendDiscordTestNotification();
             const DiscordTestDraft draft = *o.vm->discordTestPreview();
             QCoro::waitFor(o.vm->confirmDiscordTestNotification(DiscordTestDraft{QUuid::createUuid(), draft.content}));
             EXPECT_EQ(o.vm->discordTestPreview(), draft);
             o.h.server.enqueue(path, accepted);
             QCoro::waitFor(o.vm->confirmDiscordTestNotification(draft));
             EXPECT_EQ(o.posts(), 1);
             EXPECT_EQ(json::qstr(o.lastBody()["content"].get<std::string>()), draft.content);
             EXPECT_EQ(o.lastBody()["allowed_mentions"]["parse"], Json::array());
         }},
    });
}

} // namespace
} // namespace vantorel
