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

QCoro::Task<> track(QCoro::Task<> task, std::shared_ptr<bool> finished)
{
    co_await std::move(task);
    *finished = true;
}

// Starts the task; the flag turns true when it ends.
std::shared_ptr<bool> launch(QCoro::Task<> task)
{
    auto finished = std::make_shared<bool>(false);
    track(std::move(task), finished);
    return finished;
}

TestHttpResponse accepted()
{
    return TestHttpResponse::json(R"({"id":"1","channel_id":"2","webhook_id":"123"})");
}

// Keeps every text written, so a test can tell that no secret reached the store.
class RecordingStore final : public SettingsStore
{
public:
    explicit RecordingStore(std::shared_ptr<SettingsStore> inner) : m_inner(std::move(inner)) {}
    std::optional<Value> value(const QString& key) const override { return m_inner->value(key); }
    void set(const QString& key, const Value& value) override
    {
        if (const auto* text = std::get_if<QString>(&value)) {
            written.append(*text);
        } else if (const auto* bytes = std::get_if<QByteArray>(&value)) {
            written.append(QString::fromUtf8(*bytes));
        }
        m_inner->set(key, value);
    }
    void remove(const QString& key) override { m_inner->remove(key); }
    QStringList written;

private:
    std::shared_ptr<SettingsStore> m_inner;
};

// A view model with Discord on, the webhook in the keychain and the webhook answered by the
// harness's loopback server.
struct Outbox
{
    ViewModelHarness h;
    std::shared_ptr<RecordingStore> store = std::make_shared<RecordingStore>(h.defaults);
    AppViewModel* vm = nullptr;

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
            // Let the start-up task finish, then stop the refresh loop: only the worker sleeps.
            EXPECT_TRUE(waitUntil([this] { return !h.logLines(QStringLiteral("keychain.savedStateLoaded")).isEmpty(); }));
            drainEvents();
            vm->tasks().refreshTask = TaskHandle();
        }
    }
    ~Outbox()
    {
        for (const QString& text : h.logLines() + store->written) {
            EXPECT_FALSE(text.contains(QStringLiteral("api/webhooks/123/tok")) || text.contains(apiKey)) << text.toStdString();
        }
    }
    void make(bool autoStart = false)
    {
        AppViewModelDependencies d = h.dependencies(autoStart);
        d.defaults = store;
        vm = &h.makeViewModel(std::move(d));
    }

    Date now() const { return h.clock.now(); }

    PendingDiscordNotification queue(const QString& id, const QString& content = QStringLiteral("grant"))
    {
        NotificationHistoryEntry entry;
        entry.id = QUuid::createUuid();
        entry.title = id;
        entry.createdAt = now();
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
        for (const auto& other : vm->pendingDiscordResetNotifications()) {
            if (other.isSameItem(item)) {
                return other;
            }
        }
        return std::nullopt;
    }
    NotificationDeliveryEvidence evidence(const PendingDiscordNotification& item) const
    {
        for (const auto& entry : vm->notificationHistory()) {
            if (entry.id == item.generation) {
                return entry.delivery.value_or(NotificationDeliveryEvidence());
            }
        }
        return {};
    }
    void pass() { QCoro::waitFor(vm->deliverPendingDiscordResetNotifications()); }
    int posts() const { return int(h.server.requests(path).size()); }
    Json lastBody() const { return *json::parse(h.server.requests(path).last().body); }
};

TEST(DiscordDelivery, PassesOverLoopbackHttp)
{
    const QString unknown = QStringLiteral("結果不明です。自動再送で同じ通知が届く可能性があります。");
    struct Case
    {
        const char* name;
        std::function<void(Outbox&)> run;
    };
    const Case cases[] = {
        {"accepted: removed; an unsettled mention settles on and mentions everyone",
         [](Outbox& o) {
             o.vm->mutableState().settings.discordMentionEveryone.reset();
             const auto a = o.queue(QStringLiteral("a"));
             o.h.server.enqueue(path, accepted());
             o.pass();
             EXPECT_EQ(o.evidence(a).discord, Status::accepted);
             EXPECT_TRUE(o.vm->pendingDiscordResetNotifications().isEmpty());
             EXPECT_EQ(o.vm->settings().discordMentionEveryone, true);
             const Json body = o.lastBody();
             EXPECT_EQ(body["allowed_mentions"]["parse"], Json::array({"everyone"}));
             EXPECT_TRUE(json::qstr(body["content"].get<std::string>())
                             .endsWith(QStringLiteral("\ngrant\n\n") + NotificationMessageBuilder::applicationDisplayName()
                                       + QStringLiteral(": ") + DiscordSettingsActions::versionText()));
         }},
        {"503: unknown outcome, backed off 60/300/900/3600 s, flag kept after a later success",
         [&](Outbox& o) {
             const auto a = o.queue(QStringLiteral("a"));
             for (const double delay : {60.0, 300.0, 900.0, 3600.0}) {
                 o.h.server.enqueue(path, TestHttpResponse::text("busy", 503));
                 o.pass();
                 EXPECT_EQ(o.evidence(a).discord, Status::outcomeUnknown);
                 EXPECT_EQ(o.queued(a)->nextAttemptAt - o.now(), delay);
                 EXPECT_EQ(o.vm->discordWebhookMessage(), unknown);
                 o.h.clock.advance(delay);
             }
             EXPECT_EQ(o.lastBody()["allowed_mentions"]["parse"], Json::array());
             o.h.server.enqueue(path, accepted());
             o.pass();
             EXPECT_EQ(o.evidence(a).discord, Status::accepted);
             EXPECT_TRUE(o.evidence(a).discordResultWasUnknown);
         }},
        {"404: attention stored, nothing posted until the webhook is saved again",
         [](Outbox& o) {
             const auto a = o.queue(QStringLiteral("a"));
             o.h.server.enqueue(path, TestHttpResponse::text("gone", 404));
             o.pass();
             EXPECT_TRUE(o.vm->discordWebhookNeedsAttention());
             EXPECT_EQ(o.h.defaults->boolValue(Keys::discordWebhookNeedsAttention), true);
             EXPECT_EQ(o.evidence(a).discord, Status::credentialUnavailable);
             o.h.clock.advance(3600);
             o.pass();
             EXPECT_EQ(o.posts(), 1);
             o.h.server.enqueue(path, accepted());
             QCoro::waitFor(o.vm->saveDiscordWebhookURL(webhook));
             EXPECT_TRUE(waitUntil([&] { return o.vm->pendingDiscordResetNotifications().isEmpty(); }));
             EXPECT_EQ(o.posts(), 2);
         }},
        {"429: the larger named delay held and copied into every item; the pass ends",
         [](Outbox& o) {
             const auto a = o.queue(QStringLiteral("a"));
             const auto b = o.queue(QStringLiteral("b"));
             TestHttpResponse limited = TestHttpResponse::json(R"({"retry_after":1.2})", 429);
             limited.headers.set("Retry-After", "2.5");
             o.h.server.enqueue(path, limited);
             o.pass();
             const Date hold = o.now() + 2.5;
             EXPECT_EQ(o.vm->discordServerRetryNotBefore(), hold);
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
             o.h.server.enqueue(path, accepted());
             o.pass();
             EXPECT_EQ(o.evidence(a).discord, Status::invalidContent);
             EXPECT_EQ(o.evidence(b).discord, Status::accepted);
             EXPECT_TRUE(o.vm->pendingDiscordResetNotifications().isEmpty());
             EXPECT_EQ(o.posts(), 1);
         }},
        {"a plain refusal ends the pass",
         [](Outbox& o) {
             const auto a = o.queue(QStringLiteral("a"));
             const auto b = o.queue(QStringLiteral("b"));
             o.h.server.enqueue(path, TestHttpResponse::text("bad", 400));
             o.pass();
             EXPECT_EQ(o.evidence(a).discord, Status::retryScheduled);
             EXPECT_EQ(o.evidence(b).discord, Status::waiting);
             EXPECT_EQ(o.queued(b)->attemptCount, 0);
             EXPECT_EQ(o.posts(), 1);
         }},
        {"a hold stored beyond an hour (clock went back) is cut when loaded",
         [](Outbox& o) {
             const auto a = o.queue(QStringLiteral("a"));
             o.h.defaults->set(Keys::discordServerRetryNotBefore, o.now() + 86'400);
             o.make();
             EXPECT_EQ(o.vm->discordServerRetryNotBefore(), o.now() + 3600);
             EXPECT_EQ(o.h.defaults->dateValue(Keys::discordServerRetryNotBefore), o.now() + 3600);
             EXPECT_EQ(o.queued(a)->serverRetryNotBefore, std::nullopt);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outbox o;
        c.run(o);
    }
}

TEST(DiscordDelivery, RestartMidPostReadsAsUnknown)
{
    Outbox o;
    const auto a = o.queue(QStringLiteral("a"));
    TestHttpResponse held = accepted();
    held.delaySeconds = 60;
    o.h.server.enqueue(path, held);
    const auto pass = launch(o.vm->deliverPendingDiscordResetNotifications());
    EXPECT_TRUE(waitUntil([&] { return o.posts() == 1; }));
    EXPECT_EQ(o.evidence(a).discord, Status::submitting);
    o.make();
    EXPECT_EQ(o.evidence(a).discord, Status::outcomeUnknown);
    EXPECT_TRUE(o.evidence(a).discordResultWasUnknown);
    EXPECT_TRUE(o.queued(a));
}

TEST(DiscordDelivery, WorkerInVirtualTime)
{
    struct Case
    {
        const char* name;
        std::function<void(AppSettings&)> settings;
        std::function<void(Outbox&)> run;
    };
    const auto sleepsUntil = [](Outbox& o, double seconds, const QString& logged) {
        o.vm->scheduleDiscordOutboxWorker(o.now());
        drainEvents();
        EXPECT_EQ(o.h.sleeper->pendingCount(), 1);
        EXPECT_EQ(o.h.sleeper->nextDeadline(), o.now() + seconds);
        EXPECT_EQ(o.h.logLines(QStringLiteral("discord.outbox.workerScheduled")).last(),
                  QStringLiteral("discord.outbox.workerScheduled delay=") + logged);
    };
    const Case cases[] = {
        {"one sleep until the next due item, then the pass, then no sleep at all", {},
         [&](Outbox& o) {
             const auto a = o.queue(QStringLiteral("a"));
             o.vm->mutableState().pendingDiscordResetNotifications[0].nextAttemptAt = o.now() + 100;
             sleepsUntil(o, 100, QStringLiteral("100.0s"));
             o.h.server.enqueue(path, accepted());
             o.h.sleeper->advance(100);
             EXPECT_TRUE(waitUntil([&] { return o.evidence(a).discord == Status::accepted; }));
             drainEvents();
             EXPECT_FALSE(o.vm->tasks().discordOutboxWorkerTask.isRunning());
             EXPECT_EQ(o.h.logLines(QStringLiteral("discord.outbox.workerScheduled")).size(), 1);
         }},
        {"a later server hold sets the wake", {},
         [&](Outbox& o) {
             o.queue(QStringLiteral("a"));
             o.vm->mutableState().discordServerRetryNotBefore = o.now() + 500;
             sleepsUntil(o, 500, QStringLiteral("500.0s"));
         }},
        {"a due date beyond three days is logged whole and slept 259,200 s", {},
         [&](Outbox& o) {
             o.queue(QStringLiteral("a"));
             o.vm->mutableState().pendingDiscordResetNotifications[0].nextAttemptAt = o.now() + 300'000;
             sleepsUntil(o, 259'200, QStringLiteral("300000.0s"));
         }},
        {"Discord off: no sleep", [](AppSettings& s) { s.discordResetNotificationsEnabled = false; },
         [](Outbox& o) {
             o.queue(QStringLiteral("a"));
             o.vm->scheduleDiscordOutboxWorker(o.now());
             drainEvents();
             EXPECT_EQ(o.h.sleeper->pendingCount(), 0);
         }},
        {"an expiry warning waiting for a reading: no timed wake, no Codex fetch",
         [](AppSettings& s) {
             s.codexCLIAutoRefreshEnabled = true;
             s.bankedResetExpiryNotificationsEnabled = true;
         },
         [](Outbox& o) {
             PendingDiscordNotification item(QStringLiteral("x"), QStringLiteral("expiry"), o.now(), 0, std::nullopt,
                                             BankedResetExpiryIdentity{QStringLiteral("c1"), o.now() + 86'400},
                                             std::nullopt, QUuid::createUuid());
             item.bankedResetExpiryWait = BankedResetExpiryWait::observation(o.now() + 60);
             o.vm->mutableState().pendingDiscordResetNotifications = {item};
             o.vm->scheduleDiscordOutboxWorker(o.now());
             o.h.clock.advance(60);
             o.pass();
             drainEvents();
             EXPECT_EQ(o.h.sleeper->pendingCount(), 0);
             EXPECT_EQ(o.h.codexLoadCount(), 0);
             EXPECT_EQ(o.posts(), 0);
         }},
        {"passes never overlap", {},
         [](Outbox& o) {
             o.queue(QStringLiteral("a"));
             o.h.server.enqueue(path, accepted());
             const auto first = launch(o.vm->deliverPendingDiscordResetNotifications());
             const auto second = launch(o.vm->deliverPendingDiscordResetNotifications());
             EXPECT_TRUE(*second);
             EXPECT_TRUE(waitUntil([&] { return *first; }));
             EXPECT_EQ(o.posts(), 1);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outbox o(true, c.settings);
        c.run(o);
    }
}

TEST(DiscordDelivery, SettingsActions)
{
    const QString refused = QStringLiteral("Webhookの保存先・有効性・Keychainの許可を確認してください。");
    struct Case
    {
        const char* name;
        std::function<void(Outbox&)> run;
    };
    const Case cases[] = {
        {"a blank key is refused with its own message and stores nothing",
         [](Outbox& o) {
             QCoro::waitFor(o.vm->saveAPIKey(QStringLiteral("  \n")));
             EXPECT_EQ(o.vm->apiKeyMessage(), QStringLiteral("API Key が空です。"));
             EXPECT_EQ(o.vm->apiRateErrorMessage(), std::nullopt);
             EXPECT_EQ(o.h.secrets->callCount(FakeSecretStore::Operation::save), 0);
         }},
        {"a saved key can be deleted, which turns the rate refresh off",
         [](Outbox& o) {
             o.vm->mutableState().settings.apiRateAutoRefreshEnabled = true;
             QCoro::waitFor(o.vm->saveAPIKey(QStringLiteral(" ") + apiKey));
             EXPECT_EQ(o.h.secrets->stored(KeychainStore::openAIAPIKeyService, KeychainStore::account), apiKey.toUtf8());
             QCoro::waitFor(o.vm->deleteAPIKey());
             EXPECT_FALSE(o.vm->apiKeyIsSaved());
             EXPECT_FALSE(o.vm->settings().apiRateAutoRefreshEnabled);
             EXPECT_EQ(o.vm->apiKeyMessage(), QStringLiteral("API Key を削除しました。"));
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
             EXPECT_FALSE(o.vm->discordWebhookNeedsAttention());
             EXPECT_EQ(o.h.defaults->boolValue(Keys::discordWebhookNeedsAttention), false);
             EXPECT_EQ(o.vm->discordTestPreview(), std::nullopt);
             EXPECT_EQ(o.h.discordWebhookURLCache->resolve(SecureValueReadResult::temporarilyUnavailable()),
                       DiscordWebhookURLResolution::temporarilyUnavailable());
         }},
        {"a 404 for a webhook replaced in flight shows the text but sets no flag",
         [&](Outbox& o) {
             o.h.server.setHandler([&o](const RecordedHttpRequest&) {
                 o.vm->mutableState().discordDestinationGeneration = QUuid::createUuid();
                 return TestHttpResponse::text("gone", 404);
             });
             o.vm->sendDiscordTestNotification();
             QCoro::waitFor(o.vm->confirmDiscordTestNotification(*o.vm->discordTestPreview()));
             EXPECT_EQ(o.vm->discordWebhookMessage(), refused);
             EXPECT_FALSE(o.vm->discordWebhookNeedsAttention());
         }},
        {"a stale draft confirms nothing; the current one is sent once as shown, never mentioning",
         [](Outbox& o) {
             o.vm->mutableState().settings.discordMentionEveryone = true;
             o.vm->sendDiscordTestNotification();
             const DiscordTestDraft draft = *o.vm->discordTestPreview();
             QCoro::waitFor(o.vm->confirmDiscordTestNotification(DiscordTestDraft{QUuid::createUuid(), draft.content}));
             EXPECT_EQ(o.posts(), 0);
             EXPECT_EQ(o.vm->discordTestPreview(), draft);
             o.h.server.enqueue(path, accepted());
             QCoro::waitFor(o.vm->confirmDiscordTestNotification(draft));
             EXPECT_EQ(o.posts(), 1);
             EXPECT_EQ(json::qstr(o.lastBody()["content"].get<std::string>()), draft.content);
             EXPECT_EQ(o.lastBody()["allowed_mentions"]["parse"], Json::array());
             EXPECT_FALSE(o.vm->isSendingDiscordTest());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outbox o;
        c.run(o);
    }
}

} // namespace
} // namespace vantorel
