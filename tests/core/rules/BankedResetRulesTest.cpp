#include "RulesTestSupport.h"

#include "core/rules/BankedResetExpiryDetector.h"
#include "core/rules/BankedResetExpiryObservation.h"
#include "core/rules/BankedResetGrantDetector.h"
#include "core/rules/DiscordNotificationOutbox.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using rules_testing::item;
using rules_testing::now;
using Identity = BankedResetExpiryIdentity;
using D = BankedResetExpiryDeliveryDecision;
using Credits = QList<BankedResetCredit>;
using Reason = NotificationCancellationReason;

constexpr double day = 86'400;

BankedResetCredit credit(const char* id, std::optional<Date> expiresAt, const char* status = "available")
{
    BankedResetCredit c;
    c.id = QString::fromUtf8(id);
    c.status = QString::fromUtf8(status);
    c.expiresAt = expiresAt;
    return c;
}

BankedResetSummary summary(std::int64_t count, std::optional<Credits> credits = std::nullopt)
{
    BankedResetSummary s;
    s.availableCount = count;
    s.credits = std::move(credits);
    return s;
}

QStringList creditIDs(const Credits& credits)
{
    QStringList ids;
    for (const auto& credit : credits) {
        ids.append(credit.id);
    }
    return ids;
}

AppSettings expirySettings(std::int64_t warningDays = 3)
{
    AppSettings settings;
    settings.discordResetNotificationsEnabled = true;
    settings.setBankedResetExpiryWarningDays(warningDays);
    return settings;
}

TEST(BankedResetExpiryDetector, DetectsAvailableCreditsInsideTheWarningDays)
{
    const auto current = summary(5, Credits{credit("inside", now + 3 * day), credit("outside", now + 3 * day + 1),
                                            credit("expired", now), credit("spent", now + day, "used"),
                                            credit("noExpiry", std::nullopt), credit("", now + day), credit("handled", now + day),
                                            credit("inside", now + 3 * day), credit("moved", now + 2 * day)});
    const QList<Identity> notified{{QStringLiteral("handled"), now + day}, {QStringLiteral("moved"), now + day}};
    const auto due = BankedResetExpiryDetector::detect(current, expirySettings(), notified, now);
    EXPECT_EQ(due, (QList<Identity>{{QStringLiteral("inside"), now + 3 * day}, {QStringLiteral("moved"), now + 2 * day}}));

    auto off = expirySettings();
    off.bankedResetExpiryNotificationsEnabled = false;
    EXPECT_TRUE(BankedResetExpiryDetector::detect(current, off, {}, now).isEmpty());
    EXPECT_TRUE(BankedResetExpiryDetector::detect(std::nullopt, expirySettings(), {}, now).isEmpty());
}

TEST(BankedResetExpiryDetector, RecordingKeepsLiveIdentitiesOnceAndAtMost1024)
{
    const Identity a{QStringLiteral("a"), now + day};
    const Identity b{QStringLiteral("b"), now + day};
    const Identity expired{QStringLiteral("x"), now};
    const Identity noID{QString(), now + day};
    const Identity infinite{QStringLiteral("i"), Date(INFINITY)};
    EXPECT_EQ(BankedResetExpiryDetector::recording({b, a, expired}, {a, noID, infinite}, now), (QList<Identity>{a, b}));

    QList<Identity> many;
    for (int i = 0; i < 1'030; ++i) {
        many.append({QString::number(i), now + day});
    }
    const auto kept = BankedResetExpiryDetector::recording({a}, many, now);
    ASSERT_EQ(kept.size(), 1'024);
    EXPECT_EQ(kept.last().creditID, QStringLiteral("1023"));
}

TEST(BankedResetExpiryDetector, DeliveryDecisionAgainstTheCurrentCredits)
{
    const Identity identity{QStringLiteral("c"), now + 2 * day};
    struct Case
    {
        const char* name;
        std::optional<BankedResetSummary> current;
        AppSettings settings;
        Date at;
        D expected;
    };
    const auto listed = summary(1, Credits{credit("c", now + 2 * day)});
    auto discordOff = expirySettings();
    discordOff.discordResetNotificationsEnabled = false;
    auto expiryOff = expirySettings();
    expiryOff.bankedResetExpiryNotificationsEnabled = false;
    const Case cases[] = {
        {"listedInsideWarning", listed, expirySettings(), now, D::deliver()},
        {"warningDaysShrank", listed, expirySettings(1), now, D::deferUntilThreshold(now + day)},
        {"noReading", std::nullopt, expirySettings(), now, D::deferUntilRefresh()},
        {"noCreditList", summary(1), expirySettings(), now, D::cancel()},
        {"creditGone", summary(0, Credits{}), expirySettings(), now, D::cancel()},
        {"creditSpent", summary(0, Credits{credit("c", now + 2 * day, "redeemed")}), expirySettings(), now, D::cancel()},
        {"expiryMoved", summary(1, Credits{credit("c", now + 2 * day + 1)}), expirySettings(), now, D::cancel()},
        {"expired", listed, expirySettings(), now + 2 * day, D::cancel()},
        {"discordOff", listed, discordOff, now, D::cancel()},
        {"expiryWarningsOff", listed, expiryOff, now, D::cancel()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BankedResetExpiryDetector::deliveryDecision(identity, c.current, c.settings, c.at), c.expected);
    }
}

TEST(BankedResetExpiryDetector, OutboxExpiryPassSetsWaitsAndDropsItems)
{
    const Identity live{QStringLiteral("c"), now + 2 * day};
    const auto listed = summary(1, Credits{credit("c", now + 2 * day)});
    auto thresholdWaiting = item("t", 500, std::nullopt, live);
    thresholdWaiting.bankedResetExpiryWait = BankedResetExpiryWait::threshold(now + 10, now - 400);
    const auto plain = item("p", 400, DiscordNotificationEvent::CouponGrant{now});
    const auto fresh = item("f", 300, std::nullopt, live);
    const auto gone = item("g", 200, std::nullopt, Identity{QStringLiteral("other"), now + day});

    auto result = DiscordNotificationOutbox::revalidatingBankedResetExpiry({gone, fresh, plain, thresholdWaiting}, listed,
                                                                           expirySettings(1), now);
    ASSERT_EQ(result.size(), 3);
    EXPECT_EQ(result[0].bankedResetExpiryWait, BankedResetExpiryWait::threshold(now + day, now - 400));
    EXPECT_EQ(result[1], plain);
    EXPECT_EQ(result[2].bankedResetExpiryWait, BankedResetExpiryWait::threshold(now + day, now));
    EXPECT_EQ(result[2].scheduledAttemptAt(), now + day);

    result = DiscordNotificationOutbox::revalidatingBankedResetExpiry({fresh}, std::nullopt, expirySettings(), now);
    EXPECT_EQ(result[0].bankedResetExpiryWait, BankedResetExpiryWait::observation(now + 60));
    result = DiscordNotificationOutbox::revalidatingBankedResetExpiry(result, listed, expirySettings(), now);
    EXPECT_EQ(result[0].bankedResetExpiryWait, std::nullopt);
    EXPECT_EQ(result[0].scheduledAttemptAt(), fresh.nextAttemptAt);

    const auto settings = expirySettings();
    EXPECT_EQ(forRemoved(gone, settings, {}, now), Reason::couponChanged);
    EXPECT_EQ(forRemoved(gone, settings, {}, now + day), Reason::retentionExpired);
    auto off = settings;
    off.bankedResetExpiryNotificationsEnabled = false;
    EXPECT_EQ(forRemoved(gone, off, {}, now), Reason::settingsChanged);
}

TEST(BankedResetExpiryDetector, ExpiryItemsLiveUntilTheCreditExpiresOrThreeDaysOfFailures)
{
    const Identity identity{QStringLiteral("c"), now + 10 * day};
    const auto weekOld = item("w", 7 * day, std::nullopt, identity);
    EXPECT_EQ(DiscordNotificationOutbox::pruned({weekOld}, now).size(), 1);
    EXPECT_TRUE(DiscordNotificationOutbox::pruned({weekOld}, now + 10 * day).isEmpty());

    auto failing = DiscordNotificationOutbox::recordingFailure(weekOld, {weekOld}, now);
    failing = DiscordNotificationOutbox::recordingFailure(weekOld, failing, now + 60);
    EXPECT_EQ(failing[0].bankedResetExpiryFailureStartedAt, now);
    EXPECT_EQ(failing[0].attemptCount, 2);
    EXPECT_EQ(DiscordNotificationOutbox::pruned(failing, now + 259'200).size(), 1);
    EXPECT_TRUE(DiscordNotificationOutbox::pruned(failing, now + 259'201).isEmpty());
}

TEST(BankedResetExpiryIdentity, NotificationIDHashesCreditAndExpiry)
{
    const Identity identity{QStringLiteral("credit-1"), Date(794'047'200.5)};
    const QByteArray digest
        = QCryptographicHash::hash(QByteArrayLiteral("credit-1\n794047200.5"), QCryptographicHash::Sha256).toHex();
    EXPECT_EQ(identity.notificationID(), QStringLiteral("banked-reset-expiry-") + QString::fromLatin1(digest));
    EXPECT_NE(identity.notificationID(), (Identity{QStringLiteral("credit-1"), Date(794'047'201)}).notificationID());
    EXPECT_EQ(bankedResetExpiryIdentityFromJson(toJson(identity)), identity);
    EXPECT_EQ(bankedResetExpiryIdentityFromJson(json::parseOrThrow(R"({"creditID":"a"})")), std::nullopt);
}

TEST(BankedResetExpiryObservation, FreshForFiveSecondsAfterCompletion)
{
    BankedResetExpiryObservation observation;
    observation.current = summary(1);
    observation.completedAt = now;
    for (const auto& [at, fresh] : {std::pair(now, true), {now + 5, true}, {now + 5.001, false}, {now - 1, false}}) {
        EXPECT_EQ(observation.isFreshForDelivery(at), fresh) << at - now;
    }
    const QUuid before = observation.generation;
    observation.reset();
    EXPECT_FALSE(observation.isFreshForDelivery(now));
    EXPECT_EQ(observation.current, std::nullopt);
    EXPECT_NE(observation.generation, before);
}

TEST(BankedResetGrantDetector, GrantsFromCountRisesAndNewCreditIDs)
{
    struct Case
    {
        const char* name;
        std::optional<BankedResetSummary> previous;
        BankedResetSummary current;
        std::optional<std::int64_t> granted;
        QStringList newIDs;
    };
    const auto ab = Credits{credit("a", now + day), credit("b", now + day)};
    const Case cases[] = {
        {"firstReadingWithCredits", std::nullopt, summary(2, ab), 2, {"a", "b"}},
        {"firstReadingCountOnly", std::nullopt, summary(1), 1, {}},
        {"firstReadingEmpty", std::nullopt, summary(0, Credits{}), std::nullopt, {}},
        {"unchanged", summary(2, ab), summary(2, ab), std::nullopt, {}},
        {"countRose", summary(1), summary(3), 2, {}},
        {"spentOneGotOne", summary(2, ab), summary(2, Credits{credit("b", now + day), credit("c", now + day)}), 1, {"c"}},
        {"newButSpentIgnored", summary(2, ab), summary(2, Credits{credit("a", now + day), credit("d", now, "used")}),
         std::nullopt, {}},
        {"rememberedWithoutListUsesCountOnly", summary(2), summary(2, ab), std::nullopt, {}},
        {"countDropped", summary(3, ab), summary(1, Credits{credit("a", now + day)}), std::nullopt, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto grant = BankedResetGrantDetector::detect(c.previous, c.current);
        ASSERT_EQ(grant.has_value(), c.granted.has_value());
        if (grant) {
            EXPECT_EQ(grant->grantedCount, *c.granted);
            EXPECT_EQ(creditIDs(grant->newCredits), c.newIDs);
        }
    }
}

TEST(BankedResetGrantDetector, BaselineDebouncesDropsAndRemembersCreditsByID)
{
    constexpr auto most = std::numeric_limits<std::int64_t>::max();
    std::optional<BankedResetSummary> baseline;
    const auto remember = [&](const BankedResetSummary& reading) {
        const auto grant = BankedResetGrantDetector::detect(baseline, reading);
        baseline = BankedResetGrantDetector::updatedBaseline(baseline, reading, 100);
        return grant.has_value();
    };
    EXPECT_TRUE(remember(summary(3)));
    EXPECT_FALSE(remember(summary(2))) << "a single low reading";
    EXPECT_EQ(baseline->availableCount, 3);
    EXPECT_EQ(baseline->pendingAvailableCount, 2);
    EXPECT_FALSE(remember(summary(3))) << "back to normal is no grant";
    EXPECT_EQ(baseline->pendingAvailableCount, std::nullopt);
    EXPECT_FALSE(remember(summary(2)));
    EXPECT_FALSE(remember(summary(2)));
    EXPECT_EQ(baseline->availableCount, 2) << "a drop read twice is trusted";
    EXPECT_TRUE(remember(summary(3)));

    auto corrupt = summary(5);
    corrupt.pendingAvailableCount = 1;
    corrupt.pendingAvailableCountObservations = most;
    EXPECT_EQ(BankedResetGrantDetector::updatedBaseline(corrupt, summary(1), 100).availableCount, 1);

    const auto previous = summary(2, Credits{credit("a", now), credit("b", now)});
    const auto merged = BankedResetGrantDetector::updatedBaseline(
        previous, summary(2, Credits{credit("c", now), credit("", now), credit("a", now + 1)}), 3);
    EXPECT_EQ(creditIDs(*merged.credits), (QStringList{"c", "a", "b"}));
    EXPECT_EQ((*merged.credits)[1].expiresAt, now + 1);
    EXPECT_FALSE(BankedResetGrantDetector::detect(merged, summary(2, Credits{credit("b", now)})));
    EXPECT_EQ(BankedResetGrantDetector::updatedBaseline(previous, summary(2), 100).credits, previous.credits);
    EXPECT_EQ(BankedResetGrantDetector::detect(summary(std::numeric_limits<std::int64_t>::min()), summary(most))->grantedCount, most);
}

} // namespace
} // namespace vantorel
