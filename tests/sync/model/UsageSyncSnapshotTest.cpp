#include "SyncModelFixtures.h"

#include "sync/model/UsageSyncError.h"
#include "sync/model/UsageSyncSnapshot.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using namespace vantorel;
using namespace vantorel::test;
using Code = UsageSyncError::Code;

namespace {

using Mutation = std::function<void(UsageSyncSnapshot&)>;

// nullopt when the snapshot passes; otherwise the code it fails with.
std::optional<Code> validationFailure(const UsageSyncSnapshot& snapshot, std::optional<QUuid> expectedHost = std::nullopt)
{
    try {
        const UsageSyncSnapshot result = snapshot.validated(expectedHost);
        EXPECT_EQ(result, snapshot);
        return std::nullopt;
    } catch (const UsageSyncError& error) {
        return error.code();
    }
}

std::optional<Code> acceptanceFailure(const UsageSyncSnapshot& candidate, const std::optional<UsageSyncSnapshot>& previous)
{
    try {
        EXPECT_EQ(candidate.accepted(previous), candidate);
        return std::nullopt;
    } catch (const UsageSyncError& error) {
        return error.code();
    }
}

SyncUsageHistoryEntry historyEntry(quint32 n)
{
    return {uuidNumber(n), SyncProviderID::codex, isoDate("2026-01-31T09:00:00Z") - double(n) * 60.0, 50.0, 80.0};
}

SyncNotificationEntry notification(quint32 n)
{
    return {uuidNumber(100'000 + n), SyncProviderID::claude, QStringLiteral("reset"), QStringLiteral("t"),
            QStringLiteral("b"), isoDate("2026-01-31T08:00:00Z")};
}

// Replaces both lists with `history` and `notifications` distinct entries.
Mutation withEntries(quint32 history, quint32 notifications)
{
    return [=](UsageSyncSnapshot& s) {
        s.usageHistory.clear();
        s.notificationHistory.clear();
        for (quint32 i = 0; i < history; ++i)
            s.usageHistory.append(historyEntry(i));
        for (quint32 i = 0; i < notifications; ++i)
            s.notificationHistory.append(notification(i));
    };
}

Mutation windowPercent(double percent)
{
    return [=](UsageSyncSnapshot& s) { s.providers[0].windows[0].remainingPercent = percent; };
}

const double notANumber = std::numeric_limits<double>::quiet_NaN();
const double infinity = std::numeric_limits<double>::infinity();
const std::optional<Code> passes = std::nullopt;
const std::optional<Code> invalid = Code::invalidData;

} // namespace

TEST(UsageSyncSnapshotTest, TextLimitsCountCharactersAndRefuseOneMore)
{
    struct Case
    {
        const char* field;
        std::function<void(UsageSyncSnapshot&, const QString&)> set;
        qsizetype limit;
    };
    const std::vector<Case> table = {
        {"hostName", [](UsageSyncSnapshot& s, const QString& t) { s.hostName = t; }, 128},
        {"sourceVersion", [](UsageSyncSnapshot& s, const QString& t) { s.sourceVersion = t; }, 64},
        {"sourceBuild", [](UsageSyncSnapshot& s, const QString& t) { s.sourceBuild = t; }, 64},
        {"planName", [](UsageSyncSnapshot& s, const QString& t) { s.providers[0].planName = t; }, 128},
        {"statusText", [](UsageSyncSnapshot& s, const QString& t) { s.providers[1].statusText = t; }, 256},
        {"errorMessage", [](UsageSyncSnapshot& s, const QString& t) { s.providers[0].errorMessage = t; }, 1'024},
        {"creditsRemaining", [](UsageSyncSnapshot& s, const QString& t) { s.providers[0].creditsRemaining = t; }, 256},
        {"title", [](UsageSyncSnapshot& s, const QString& t) { s.notificationHistory[0].title = t; }, 256},
        {"category", [](UsageSyncSnapshot& s, const QString& t) { s.notificationHistory[0].category = t; }, 64},
        {"body", [](UsageSyncSnapshot& s, const QString& t) { s.notificationHistory[0].body = t; }, 4'096},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.field);
        UsageSyncSnapshot snapshot = fullSnapshot();
        c.set(snapshot, QString());
        EXPECT_EQ(validationFailure(snapshot), passes);
        // Characters, not UTF-16 units or scalars, are counted.
        c.set(snapshot, QStringLiteral("e\u0301").repeated(c.limit));
        EXPECT_EQ(validationFailure(snapshot), passes);
        c.set(snapshot, QString(c.limit + 1, QLatin1Char('x')));
        EXPECT_EQ(validationFailure(snapshot), invalid);
    }
}

TEST(UsageSyncSnapshotTest, ValidationLimits)
{
    struct Case
    {
        const char* name;
        Mutation mutate;
        std::optional<Code> expected;
    };
    // Each case starts from a full, valid snapshot.
    const std::vector<Case> table = {
        {"unchanged", [](UsageSyncSnapshot&) {}, passes},
        {"schema 0", [](UsageSyncSnapshot& s) { s.schemaVersion = 0; }, Code::unsupportedVersion},
        {"schema 2 wins over every limit",
         [](UsageSyncSnapshot& s) { s.schemaVersion = 2; s.refreshIntervalSeconds = 0; }, Code::unsupportedVersion},

        {"interval 0", [](UsageSyncSnapshot& s) { s.refreshIntervalSeconds = 0; }, invalid},
        {"interval negative", [](UsageSyncSnapshot& s) { s.refreshIntervalSeconds = -60; }, invalid},
        {"interval 1", [](UsageSyncSnapshot& s) { s.refreshIntervalSeconds = 1; }, passes},
        {"interval 86400", [](UsageSyncSnapshot& s) { s.refreshIntervalSeconds = 86'400; }, passes},
        {"interval 86401", [](UsageSyncSnapshot& s) { s.refreshIntervalSeconds = 86'401; }, invalid},

        {"3 providers", [](UsageSyncSnapshot& s) { s.providers.append(s.providers[1]); }, invalid},
        {"duplicate provider", [](UsageSyncSnapshot& s) { s.providers[1].id = SyncProviderID::codex; }, invalid},
        {"no providers", [](UsageSyncSnapshot& s) { s.providers.clear(); }, passes},
        {"2500 history entries, 120 notifications", withEntries(2'500, 120), passes},
        {"2501 history entries", withEntries(2'501, 1), invalid},
        {"121 notifications", withEntries(1, 121), invalid},
        {"duplicate history id, all else differs",
         [](UsageSyncSnapshot& s) { s.usageHistory.append({s.usageHistory[0].id, SyncProviderID::claude, {}, 1.0, 2.0}); },
         invalid},
        {"duplicate notification id",
         [](UsageSyncSnapshot& s) {
             s.notificationHistory.append(notification(3));
             s.notificationHistory[1].id = s.notificationHistory[0].id;
         },
         invalid},
        {"history and notification may share an id",
         [](UsageSyncSnapshot& s) { s.notificationHistory[0].id = s.usageHistory[0].id; }, passes},

        {"host name with control", [](UsageSyncSnapshot& s) { s.hostName = QStringLiteral("Mac\u0007"); }, invalid},
        {"generatedAt NaN", [](UsageSyncSnapshot& s) { s.generatedAt = Date(notANumber); }, invalid},
        {"generatedAt infinite", [](UsageSyncSnapshot& s) { s.generatedAt = Date(-infinity); }, invalid},
        {"far past date is finite", [](UsageSyncSnapshot& s) { s.generatedAt = Date::distantPast(); }, passes},

        {"3 windows",
         [](UsageSyncSnapshot& s) { s.providers[0].windows.append(s.providers[0].windows[1]); }, invalid},
        {"duplicate window kind",
         [](UsageSyncSnapshot& s) { s.providers[0].windows[1].kind = SyncWindowKind::fiveHour; }, invalid},
        {"negative banked count", [](UsageSyncSnapshot& s) { s.providers[0].bankedResetCount = -1; }, invalid},
        {"zero banked count", [](UsageSyncSnapshot& s) { s.providers[0].bankedResetCount = 0; }, passes},
        {"updatedAt NaN", [](UsageSyncSnapshot& s) { s.providers[0].updatedAt = Date(notANumber); }, invalid},
        {"banked expiry infinite",
         [](UsageSyncSnapshot& s) { s.providers[0].bankedResetExpiresAt = Date(infinity); }, invalid},
        {"window reset NaN", [](UsageSyncSnapshot& s) { s.providers[0].windows[1].resetAt = Date(notANumber); }, invalid},
        {"available with 0", windowPercent(0.0), passes},
        {"available with -0", windowPercent(-0.0), passes},
        {"available with 100", windowPercent(100.0), passes},
        {"available with 100.5", windowPercent(100.5), invalid},
        {"available with -1", windowPercent(-1.0), invalid},
        {"available with NaN", windowPercent(notANumber), invalid},
        {"available without percent",
         [](UsageSyncSnapshot& s) { s.providers[0].windows[0].remainingPercent.reset(); }, invalid},
        {"not fetched without percent",
         [](UsageSyncSnapshot& s) { s.providers[0].windows[0] = {SyncWindowKind::fiveHour, SyncValueState::notFetched, {}, {}}; },
         passes},
        {"not fetched with bad percent",
         [](UsageSyncSnapshot& s) { s.providers[0].windows[1].remainingPercent = 101.0; }, invalid},

        {"history percent over 100",
         [](UsageSyncSnapshot& s) { s.usageHistory[0].weeklyRemainingPercent = CompactPercent::from(100.01); },
         invalid},
        {"history percent infinite",
         [](UsageSyncSnapshot& s) { s.usageHistory[0].fiveHourRemainingPercent = CompactPercent::from(infinity); },
         invalid},
        {"history date NaN", [](UsageSyncSnapshot& s) { s.usageHistory[0].recordedAt = Date(notANumber); }, invalid},
        {"notification date infinite",
         [](UsageSyncSnapshot& s) { s.notificationHistory[0].createdAt = Date(infinity); }, invalid},
    };
    for (const Case& c : table) {
        UsageSyncSnapshot snapshot = fullSnapshot();
        c.mutate(snapshot);
        EXPECT_EQ(validationFailure(snapshot), c.expected) << c.name;
    }
}

TEST(UsageSyncSnapshotTest, HostIsComparedOnlyWhenExpectedAndBeforeTheLimits)
{
    UsageSyncSnapshot snapshot = fullSnapshot();
    EXPECT_EQ(validationFailure(snapshot, hostA), passes);
    EXPECT_EQ(validationFailure(snapshot, hostB), Code::wrongHost);

    snapshot.refreshIntervalSeconds = 0;
    EXPECT_EQ(validationFailure(snapshot, hostB), Code::wrongHost);
    EXPECT_EQ(validationFailure(snapshot), invalid);
    snapshot.schemaVersion = 3;
    EXPECT_EQ(validationFailure(snapshot, hostB), Code::unsupportedVersion);
}

TEST(UsageSyncSnapshotTest, AcceptanceOrdersByRevisionWithinOneHost)
{
    UsageSyncSnapshot previous = fullSnapshot();
    previous.revision = 7;
    previous.hostName = QStringLiteral("Caf\u00E9 Mac");

    struct Case
    {
        const char* name;
        Mutation mutate;
        std::optional<Code> expected;
    };
    const std::vector<Case> table = {
        {"higher revision, other content", [](UsageSyncSnapshot& s) { s.revision = 8; s.providers.clear(); }, passes},
        {"same revision, same content", [](UsageSyncSnapshot&) {}, passes},
        {"same revision, canonically equal host name",
         [](UsageSyncSnapshot& s) { s.hostName = QStringLiteral("Cafe\u0301 Mac"); }, passes},
        {"same revision, sub-second difference", [](UsageSyncSnapshot& s) { s.generatedAt = s.generatedAt + 0.001; },
         Code::olderSnapshot},
        {"same revision, notification body changed",
         [](UsageSyncSnapshot& s) { s.notificationHistory[0].body += QLatin1Char('!'); }, Code::olderSnapshot},
        {"same revision, providers reordered",
         [](UsageSyncSnapshot& s) { std::swap(s.providers[0], s.providers[1]); }, Code::olderSnapshot},
        {"lower revision, later generatedAt",
         [](UsageSyncSnapshot& s) { s.revision = 6; s.generatedAt = s.generatedAt + 3'600.0; }, Code::olderSnapshot},
        {"other host with higher revision", [](UsageSyncSnapshot& s) { s.hostID = hostB; s.revision = 100; },
         Code::wrongHost},
        {"invalid with higher revision", [](UsageSyncSnapshot& s) { s.revision = 8; s.refreshIntervalSeconds = 0; },
         invalid},
    };
    for (const Case& c : table) {
        UsageSyncSnapshot candidate = previous;
        c.mutate(candidate);
        EXPECT_EQ(acceptanceFailure(candidate, previous), c.expected) << c.name;
    }

    // Revisions compare unsigned across the whole range.
    UsageSyncSnapshot top = previous;
    top.revision = std::numeric_limits<std::uint64_t>::max();
    EXPECT_EQ(acceptanceFailure(top, previous), passes);
    EXPECT_EQ(acceptanceFailure(previous, top), Code::olderSnapshot);

    // With nothing held, any valid snapshot is accepted, revision 0 included; invalid ones are not.
    UsageSyncSnapshot first = emptySnapshot();
    first.revision = 0;
    first.hostID = hostB;
    EXPECT_EQ(acceptanceFailure(first, std::nullopt), passes);
    first.schemaVersion = 2;
    EXPECT_EQ(acceptanceFailure(first, std::nullopt), Code::unsupportedVersion);
}

TEST(UsageSyncSnapshotTest, EqualityComparesTextsCanonicallyAndNumbersExactly)
{
    UsageSyncSnapshot a = fullSnapshot();
    UsageSyncSnapshot b = a;
    a.hostName = QStringLiteral("Caf\u00E9");
    b.hostName = QStringLiteral("Cafe\u0301");
    a.providers[0].planName = QStringLiteral("\u30D7\u30E9\u30F3");      // precomposed katakana
    b.providers[0].planName = QStringLiteral("\u30D5\u309A\u30E9\u30F3"); // ﾌ + combining handakuten
    a.notificationHistory[0].title = QStringLiteral("\u00C5");
    b.notificationHistory[0].title = QStringLiteral("A\u030A");
    EXPECT_EQ(a, b);

    b.providers[0].planName.reset();
    EXPECT_FALSE(a == b);
    b = a;
    b.notificationHistory[0].title = QStringLiteral("A");
    EXPECT_FALSE(a == b);

    // A NaN equals nothing, not even the same snapshot.
    UsageSyncSnapshot withNan = fullSnapshot();
    withNan.usageHistory[0].weeklyRemainingPercent = CompactPercent::from(std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(withNan == withNan);

    // Compatibility forms are different texts.
    a = fullSnapshot();
    b = a;
    b.hostName = QStringLiteral("\uFF2D\uFF41\uFF43"); // full-width "Mac"
    a.hostName = QStringLiteral("Mac");
    EXPECT_FALSE(a == b);
}
