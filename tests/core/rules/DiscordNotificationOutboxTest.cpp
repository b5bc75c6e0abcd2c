#include "RulesTestSupport.h"

#include "core/rules/DiscordNotificationOutbox.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using rules_testing::couponGrant;
using rules_testing::item;
using rules_testing::now;
using rules_testing::storeText;
using Outbox = DiscordNotificationOutbox;
using Items = QList<PendingDiscordNotification>;

QStringList ids(const Items& items)
{
    QStringList result;
    for (const auto& i : items) {
        result.append(i.id);
    }
    return result;
}

TEST(DiscordNotificationOutbox, PruningKeepsThreeDaysAndTheNewest128InCreationOrder)
{
    const Items items{item("old", 259'201), item("edge", 259'200), item("b", 10), item("a", 20), item("future", -30), item("tie", 10)};
    EXPECT_EQ(ids(Outbox::pruned(items, now)), (QStringList{"edge", "a", "b", "tie", "future"}));

    Items many;
    for (int i = 0; i < 130; ++i) {
        many.append(item(QString::number(i), 1'000 - i));
    }
    const auto kept = Outbox::pruned(many, now);
    ASSERT_EQ(kept.size(), 128);
    EXPECT_EQ(kept.first().id, QStringLiteral("2"));
    EXPECT_EQ(kept.last().id, QStringLiteral("129"));

    auto broken = item("nan", 0);
    broken.createdAt = Date(std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(Outbox::pruned({broken}, now).isEmpty());
}

TEST(DiscordNotificationOutbox, EnqueueIsIdempotentById)
{
    const auto first = item("x", 10, couponGrant());
    auto again = item("x", 5, couponGrant());
    auto queue = Outbox::enqueue(first, {item("stale", 300'000)}, now);
    EXPECT_EQ(ids(queue), QStringList{"x"});
    queue = Outbox::enqueue(again, queue, now);
    ASSERT_EQ(queue.size(), 1);
    EXPECT_EQ(queue.first().generation, first.generation);

    Items full;
    for (int i = 0; i < 128; ++i) {
        full.append(item(QString::number(i), 100 - i * 0.5));
    }
    EXPECT_EQ(ids(Outbox::enqueue(item("newest", 0), full, now)).first(), QStringLiteral("1"));
    EXPECT_FALSE(ids(Outbox::enqueue(item("oldest", 200), full, now)).contains(QStringLiteral("oldest")));
}

TEST(DiscordNotificationOutbox, NextDueIsTheEarliestCreatedDueItem)
{
    auto waiting = item("waiting", 50);
    waiting.observationWaitUntil = now + 1;
    auto held = item("held", 40);
    held.serverRetryNotBefore = now + 5;
    auto tieFirst = item("tieFirst", 30);
    auto tieSecond = item("tieSecond", 30);
    auto backedOff = item("backedOff", 60);
    backedOff.nextAttemptAt = now + 60;

    EXPECT_EQ(Outbox::nextDue({tieSecond, waiting, held, backedOff}, now)->id, QStringLiteral("tieSecond"));
    EXPECT_EQ(Outbox::nextDue({tieFirst, tieSecond, waiting}, now)->id, QStringLiteral("tieFirst"));
    EXPECT_EQ(Outbox::nextDue({waiting, held, backedOff}, now), std::nullopt);
    EXPECT_EQ(Outbox::nextDue({waiting}, now + 1)->id, QStringLiteral("waiting"));
    EXPECT_EQ(Outbox::nextAttemptDate({waiting, held, backedOff}, now), now + 1);
    EXPECT_EQ(Outbox::nextAttemptDate({item("gone", 300'000)}, now), std::nullopt);
}

TEST(DiscordNotificationOutbox, ScheduledAttemptIsTheLatestWait)
{
    auto queued = item("q", 10);
    queued.nextAttemptAt = now + 10;
    queued.observationWaitUntil = now + 20;
    queued.serverRetryNotBefore = now + 15;
    EXPECT_EQ(queued.scheduledAttemptAt(), now + 20);
    queued.bankedResetExpiryWait = BankedResetExpiryWait::threshold(now + 99, now);
    EXPECT_EQ(queued.scheduledAttemptAt(), now + 20) << "an expiry wait counts only on an expiry item";
    queued.bankedResetExpiry = BankedResetExpiryIdentity{QStringLiteral("c"), now + 86'400};
    EXPECT_EQ(queued.scheduledAttemptAt(), now + 99);
}

TEST(DiscordNotificationOutbox, FailuresBackOffAndCountAttempts)
{
    const double delays[] = {60, 300, 900, 3'600, 3'600};
    auto target = item("t", 10);
    const auto other = item("o", 20);
    auto twin = target;
    twin.generation = QUuid::createUuid();
    Items queue{other, target, twin};
    for (int i = 0; i < 5; ++i) {
        queue = Outbox::recordingFailure(target, queue, now);
        EXPECT_EQ(queue[1].attemptCount, i + 1);
        EXPECT_EQ(queue[1].nextAttemptAt, now + delays[i]);
    }
    EXPECT_EQ(queue[0], other);
    EXPECT_EQ(queue[2], twin) << "same id, other generation";
    EXPECT_EQ(queue[1].bankedResetExpiryFailureStartedAt, std::nullopt);

    EXPECT_EQ(ids(Outbox::removing(target, queue)), (QStringList{"o", "t"}));
    EXPECT_EQ(Outbox::removing(target, queue).last().generation, twin.generation);
}

TEST(DiscordNotificationOutbox, ImmediateRetryEndsWaitsButKeepsThresholdAndServerHolds)
{
    auto backedOff = item("a", 10);
    backedOff.nextAttemptAt = now + 900;
    backedOff.observationWaitUntil = now + 60;
    auto early = item("b", 10);
    early.nextAttemptAt = now - 30;
    auto observing = item("c", 10, std::nullopt, BankedResetExpiryIdentity{QStringLiteral("c1"), now + 86'400});
    observing.bankedResetExpiryWait = BankedResetExpiryWait::observation(now + 60);
    auto threshold = observing;
    threshold.bankedResetExpiryWait = BankedResetExpiryWait::threshold(now + 3'600, now - 5);
    threshold.serverRetryNotBefore = now + 20;

    const auto result = Outbox::preparingImmediateRetry({backedOff, early, observing, threshold}, now);
    EXPECT_EQ(result[0].scheduledAttemptAt(), now);
    EXPECT_EQ(result[0].observationWaitUntil, std::nullopt);
    EXPECT_EQ(result[1].nextAttemptAt, now - 30);
    EXPECT_EQ(result[2].bankedResetExpiryWait, std::nullopt);
    EXPECT_EQ(result[3].bankedResetExpiryWait, threshold.bankedResetExpiryWait);
    EXPECT_EQ(result[3].serverRetryNotBefore, now + 20);
}

TEST(PendingDiscordNotification, StoredFormRoundTripsAndReadsLeniently)
{
    PendingDiscordNotification full(QStringLiteral("usage-Codex-weekly-10-1772400000"), QStringLiteral("本文"), Date(100), 2,
                                    Date(400), BankedResetExpiryIdentity{QStringLiteral("c"), Date(9'000)},
                                    DiscordNotificationEvent::CouponGrant{Date(90)},
                                    QUuid::fromString(QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F")));
    full.observationWaitUntil = Date(150);
    full.serverRetryNotBefore = Date(160);
    full.bankedResetExpiryWait = BankedResetExpiryWait::threshold(Date(500), Date(120));
    full.bankedResetExpiryFailureStartedAt = Date(130);
    full.codexPeriodValidationVersion = 1;
    EXPECT_EQ(pendingDiscordNotificationFromJson(toJson(full)), full);

    const char* minimal = R"({"id":"x","generation":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","content":"c","createdAt":5,"attemptCount":0})";
    const auto read = pendingDiscordNotificationFromJson(json::parseOrThrow(minimal));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->nextAttemptAt, Date(5));
    EXPECT_EQ(storeText(toJson(*read)),
              QStringLiteral(R"({"id":"x","generation":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","content":"c","createdAt":5,"attemptCount":0,"nextAttemptAt":5})"));

    const char* badEvent = R"([{"id":"x","generation":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","content":"c","createdAt":5,"attemptCount":1,"event":{"lowBalance":{"threshold":15}}},
                              {"id":"broken","content":"c","createdAt":5,"attemptCount":1},
                              {"id":"y","generation":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","content":"c","createdAt":6,"attemptCount":1,"event":{"couponGrant":{"observedAt":6}}}])";
    const auto list = pendingDiscordNotificationsFromJson(json::parseOrThrow(badEvent));
    ASSERT_TRUE(list);
    ASSERT_EQ(ids(*list), (QStringList{"x", "y"}));
    EXPECT_EQ((*list)[0].event, std::nullopt);
    EXPECT_EQ((*list)[1].event, DiscordNotificationEvent(DiscordNotificationEvent::CouponGrant{Date(6)}));
    EXPECT_EQ(pendingDiscordNotificationsFromJson(Json::object()), std::nullopt);
}

TEST(PendingDiscordNotification, OnlyCodexUsageItemsNeedConfirmedPeriods)
{
    using Event = DiscordNotificationEvent;
    const auto weeklyCritical = [](MonitoredProvider provider) {
        return Event::LowBalance{provider, UsageNotificationWindow::weekly, UsageAlertThreshold::critical, std::nullopt, now};
    };
    const std::pair<std::optional<Event>, bool> cases[] = {
        {weeklyCritical(MonitoredProvider::codex), true},      {Event::ActualReset{MonitoredProvider::codex, now}, true},
        {weeklyCritical(MonitoredProvider::claude), false},    {Event::ActualReset{MonitoredProvider::claude, now}, false},
        {Event::CouponGrant{now}, false},                      {Event::ServiceIncident{MonitoredProvider::codex, {}, now}, false},
        {std::nullopt, false},
    };
    for (const auto& [event, expected] : cases) {
        EXPECT_EQ(item("i", 0, event).requiresCodexPeriodValidation(), expected) << (event ? storeText(toJson(*event)).toStdString() : "none");
    }
}

} // namespace
} // namespace vantorel
