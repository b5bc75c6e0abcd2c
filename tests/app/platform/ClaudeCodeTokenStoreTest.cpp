#include "app/platform/ClaudeAuthenticatedUsageLoader.h"
#include "app/platform/ClaudeCodeTokenStore.h"
#include "app/platform/ClaudeCodeTokenStoreError.h"
#include "core/foundation/HttpError.h"
#include "core/sources/ClaudeUsageServiceError.h"
#include "support/DrainEvents.h"
#include "support/FakeClaudeCodeCredentialReader.h"
#include "support/ManualClock.h"
#include "support/TaskOutcome.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <variant>

namespace vantorel {
namespace {

using StoreError = ClaudeCodeTokenStoreError;
using StoreCode = ClaudeCodeTokenStoreError::Code;

// Claude Code's credential document as it writes it, with the parts the store reads.
QByteArray credential(const QString& accessToken, std::optional<qint64> expiresAtMs = std::nullopt)
{
    Json oauth = {{"accessToken", accessToken.toStdString()}, {"refreshToken", "refresh"},
                  {"scopes", {"user:inference"}},              {"subscriptionType", "max"},
                  {"rateLimitTier", nullptr}};
    if (expiresAtMs)
        oauth["expiresAt"] = *expiresAtMs;
    return QByteArray::fromStdString(Json{{"claudeAiOauth", oauth}, {"mcpOAuth", Json::object()}}.dump()) + '\n';
}

qint64 milliseconds(Date date)
{
    return qint64(date.timeIntervalSince1970() * 1000.0);
}

class ClaudeCodeTokenStoreTest : public ::testing::Test
{
protected:
    std::shared_ptr<FakeClaudeCodeCredentialReader> reader = std::make_shared<FakeClaudeCodeCredentialReader>();
    ManualClock clock;
    std::shared_ptr<ClaudeCodeTokenStore> store = std::make_shared<ClaudeCodeTokenStore>(reader, clock.clock());

    TaskOutcome<ClaudeCodeTokenInfo> read(bool forceReload = false, CancelToken token = {})
    {
        auto outcome = startTask(store->readTokenInfo(forceReload, token));
        drainEvents();
        EXPECT_TRUE(outcome->finished);
        return *outcome;
    }

    QString readToken(bool forceReload = false)
    {
        const auto outcome = read(forceReload);
        return outcome.value ? outcome.value->accessToken : QString();
    }
};

TEST_F(ClaudeCodeTokenStoreTest, CacheLastsSixtySecondsUnlessReloadedInvalidatedOrStampedAhead)
{
    reader->setPayload(credential(QStringLiteral("first")));
    EXPECT_EQ(readToken(), QStringLiteral("first"));
    reader->setPayload(credential(QStringLiteral("second")));
    clock.advance(59.999);
    EXPECT_EQ(readToken(), QStringLiteral("first"));
    EXPECT_EQ(reader->readCount(), 1);
    clock.advance(0.001);
    EXPECT_EQ(readToken(), QStringLiteral("second"));

    reader->setPayload(credential(QStringLiteral("third")));
    EXPECT_EQ(readToken(true), QStringLiteral("third"));
    // A forced reload that fails leaves nothing behind to serve.
    reader->setError(StoreError(StoreCode::keychainReadFailed));
    EXPECT_EQ(read(true).errorAs<StoreError>(), StoreError(StoreCode::keychainReadFailed));
    reader->setPayload(credential(QStringLiteral("fourth")));
    EXPECT_EQ(readToken(), QStringLiteral("fourth"));

    store->invalidate();
    reader->setPayload(credential(QStringLiteral("fifth")));
    EXPECT_EQ(readToken(), QStringLiteral("fifth"));
    // The clock went back: a cache read "in the future" is not trusted.
    clock.advance(-1.0);
    reader->setPayload(credential(QStringLiteral("sixth")));
    EXPECT_EQ(readToken(), QStringLiteral("sixth"));
    EXPECT_EQ(reader->readCount(), 7);
}

TEST_F(ClaudeCodeTokenStoreTest, CachedTokenIsServedOnlyWhenItOutlivesTheSafetyMargin)
{
    for (const auto& [expiresIn, servedFromCache] : {std::pair{60.001, true}, std::pair{60.0, false}, std::pair{30.0, false}}) {
        SCOPED_TRACE(expiresIn);
        reader = std::make_shared<FakeClaudeCodeCredentialReader>();
        store = std::make_shared<ClaudeCodeTokenStore>(reader, clock.clock());
        const Date secondRead = clock.now() + 10.0;
        reader->setPayload(credential(QStringLiteral("token"), milliseconds(secondRead + expiresIn)));
        ASSERT_EQ(readToken(), QStringLiteral("token"));
        clock.set(secondRead);
        // Read anew, the same still valid token is accepted again.
        EXPECT_EQ(readToken(), QStringLiteral("token"));
        EXPECT_EQ(reader->readCount(), servedFromCache ? 1 : 2);
    }
}

TEST_F(ClaudeCodeTokenStoreTest, DecodesTheDocumentStrictlyAndRefusesMissingOrExpiredTokens)
{
    const Date now = clock.now();
    const QByteArray nowMs = QByteArray::number(milliseconds(now));
    const StoreError decoding = StoreError::decodingFailed(QStringLiteral("unsupported-payload"));
    const StoreError missing(StoreCode::tokenMissing);
    using Expected = std::variant<ClaudeCodeTokenInfo, StoreError>;
    const auto token = [](const char* text, std::optional<Date> expiry = {}, std::optional<QString> plan = {}) {
        return Expected(ClaudeCodeTokenInfo{QString::fromUtf8(text), expiry, plan});
    };
    struct Row
    {
        const char* name;
        QByteArray payload;
        Expected expected;
    };
    const Row rows[] = {
        {"token kept as stored, plan trimmed", R"({"claudeAiOauth":{"accessToken":" t ","subscriptionType":"  pro\n"}})",
         token(" t ", std::nullopt, QStringLiteral("pro"))},
        {"expires a millisecond from now", R"({"claudeAiOauth":{"accessToken":"t","expiresAt":)" + QByteArray::number(milliseconds(now) + 1) + "}}",
         token("t", Date::fromUnixSeconds(double(milliseconds(now) + 1) / 1000.0))},
        {"nulls read as absent", R"({"claudeAiOauth":{"accessToken":"t","subscriptionType":null,"expiresAt":null}})", token("t")},
        {"not JSON", "security: item not found", decoding},
        {"not UTF-8", "{\"claudeAiOauth\":{\"accessToken\":\"\xff\xfe\"}}", decoding},
        {"OAuth object as text", R"({"claudeAiOauth":"token"})", decoding},
        {"token as number", R"({"claudeAiOauth":{"accessToken":42}})", decoding},
        {"expiry as text", R"({"claudeAiOauth":{"accessToken":"t","expiresAt":"1772323200000"}})", decoding},
        {"expiry as fraction", R"({"claudeAiOauth":{"accessToken":"t","expiresAt":1772323200000.5}})", decoding},
        {"expiry beyond 64 bits", R"({"claudeAiOauth":{"accessToken":"t","expiresAt":1e30}})", decoding},
        // The whole document is decoded before the token is looked at.
        {"bad plan beside empty token", R"({"claudeAiOauth":{"accessToken":"","subscriptionType":5}})", decoding},
        {"no OAuth object", R"({"primaryApiKey":"x"})", missing},
        {"null token", R"({"claudeAiOauth":{"accessToken":null}})", missing},
        {"empty token expiring later", R"({"claudeAiOauth":{"accessToken":"","expiresAt":)" + QByteArray::number(milliseconds(now) + 1) + "}}", missing},
        // What Claude Code leaves after its refresh token died.
        {"cleared token", R"({"claudeAiOauth":{"accessToken":"","refreshToken":"","expiresAt":0}})", StoreError(StoreCode::signedOut)},
        {"expires now", R"({"claudeAiOauth":{"accessToken":"t","expiresAt":)" + nowMs + "}}",
         StoreError::tokenExpired(Date::fromUnixSeconds(double(milliseconds(now)) / 1000.0))},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        reader->setPayload(row.payload);
        const auto outcome = read();
        if (const auto* info = std::get_if<ClaudeCodeTokenInfo>(&row.expected)) {
            EXPECT_EQ(outcome.value, *info);
            store->invalidate();
        } else {
            EXPECT_EQ(outcome.errorAs<StoreError>(), std::get<StoreError>(row.expected));
        }
    }
    EXPECT_EQ(reader->readCount(), int(std::size(rows))) << "a failed read must cache nothing";
}

TEST_F(ClaudeCodeTokenStoreTest, ReaderErrorsPassThroughAndCancellationStaysCancellation)
{
    reader->setError(StoreError(StoreCode::keychainTimedOut));
    EXPECT_EQ(read().errorAs<StoreError>(), StoreError(StoreCode::keychainTimedOut));

    CancelToken cancelled;
    cancelled.cancel();
    EXPECT_TRUE(read(false, cancelled).cancelled());
    EXPECT_EQ(reader->readCount(), 1);

    // Cancelled while the credential is being read: nothing is cached from that read.
    reader->setPayload(credential(QStringLiteral("late")));
    reader->setHeld(true);
    CancelToken token;
    auto outcome = startTask(store->readTokenInfo(false, token));
    ASSERT_EQ(reader->heldReadCount(), 1);
    token.cancel();
    drainEvents();
    EXPECT_TRUE(outcome->cancelled());
    reader->setHeld(false);
    reader->setPayload(credential(QStringLiteral("fresh")));
    EXPECT_EQ(readToken(), QStringLiteral("fresh"));
}

TEST(ClaudeCodeTokenInfoTest, DefersARetryOnlyWithAUsableTokenAndAFutureDate)
{
    const Date now(1000.0);
    const ClaudeCodeTokenInfo valid{QStringLiteral("token"), now + 1.0, std::nullopt};
    struct Row
    {
        const char* name;
        ClaudeCodeTokenInfo info;
        std::optional<Date> retryAfter;
        std::optional<QString> rejected;
        bool expected;
    };
    const Row rows[] = {
        {"usable", valid, now + 0.5, std::nullopt, true},
        {"no expiry", {QStringLiteral("token"), std::nullopt, std::nullopt}, now + 30.0, QStringLiteral("other"), true},
        {"no retry date", valid, std::nullopt, std::nullopt, false},
        {"retry date now", valid, now, std::nullopt, false},
        {"empty token", {QString(), std::nullopt, std::nullopt}, now + 30.0, std::nullopt, false},
        {"rejected token", valid, now + 30.0, QStringLiteral("token"), false},
        {"expires now", {QStringLiteral("token"), now, std::nullopt}, now + 30.0, std::nullopt, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.info.canDeferUsageRequest(row.retryAfter, row.rejected, now), row.expected) << row.name;
}

const ClaudeUsageServiceError unauthorized(ClaudeUsageServiceError::Code::unauthorized);

class ClaudeAuthenticatedUsageLoaderTest : public ClaudeCodeTokenStoreTest
{
protected:
    // The usage request: records the token and plan it is given, runs `beforeAnswer`, then
    // answers the next scripted outcome (a remaining percentage or an error).
    struct Fetches
    {
        std::deque<std::function<UsageSnapshot()>> answers;
        QStringList tokens;
        QList<std::optional<QString>> plans;
        std::function<void()> beforeAnswer;
    };
    std::shared_ptr<Fetches> fetches = std::make_shared<Fetches>();

    template <typename E>
    void answerError(E error)
    {
        fetches->answers.push_back([error]() -> UsageSnapshot { throw error; });
    }
    void answerUsage(double remaining)
    {
        fetches->answers.push_back([remaining] { return UsageSnapshot{.fiveHourRemainingPercent = remaining}; });
    }

    TaskOutcome<UsageSnapshot> load(bool forceCredentialReload = false, CancelToken token = {})
    {
        const auto fetch = [fetches = fetches](ClaudeCodeTokenInfo info, CancelToken) -> QCoro::Task<UsageSnapshot> {
            fetches->tokens.append(info.accessToken);
            fetches->plans.append(info.subscriptionType);
            if (fetches->beforeAnswer)
                fetches->beforeAnswer();
            const auto answer = fetches->answers.front();
            fetches->answers.pop_front();
            co_return answer();
        };
        const ClaudeAuthenticatedUsageLoader loader(store, fetch);
        auto outcome = startTask(loader.fetchUsage(forceCredentialReload, token));
        drainEvents();
        EXPECT_TRUE(outcome->finished);
        return *outcome;
    }
};

TEST_F(ClaudeAuthenticatedUsageLoaderTest, RejectedTokenThatIsStillStoredEndsUnauthorizedAfterOneRequest)
{
    reader->setPayload(credential(QStringLiteral("stale")));
    answerError(unauthorized);
    EXPECT_EQ(load().errorAs<ClaudeUsageServiceError>(), unauthorized);
    EXPECT_EQ(reader->readCount(), 2);
    EXPECT_EQ(fetches->tokens, QStringList{QStringLiteral("stale")});
    EXPECT_EQ(fetches->plans.value(0), QStringLiteral("max"));
}

TEST_F(ClaudeAuthenticatedUsageLoaderTest, RejectedTokenIsRetriedOnceWithARenewedOne)
{
    reader->setPayload(credential(QStringLiteral("stale")));
    answerError(unauthorized);
    answerUsage(70.0);
    fetches->beforeAnswer = [this] { reader->setPayload(credential(QStringLiteral("renewed"))); };
    EXPECT_EQ(load().value->fiveHourRemainingPercent, 70.0);
    EXPECT_EQ(fetches->tokens, (QStringList{QStringLiteral("stale"), QStringLiteral("renewed")}));

    // The second answer is final, even another rejection.
    fetches->tokens.clear();
    fetches->beforeAnswer = [this] { reader->setPayload(credential(QString::number(fetches->tokens.size()))); };
    answerError(unauthorized);
    answerError(unauthorized);
    EXPECT_EQ(load(true).errorAs<ClaudeUsageServiceError>(), unauthorized);
    EXPECT_EQ(fetches->tokens.size(), 2);
}

TEST_F(ClaudeAuthenticatedUsageLoaderTest, OtherFailuresPassUnchangedWithoutRereading)
{
    reader->setPayload(credential(QStringLiteral("token")));
    answerError(ClaudeUsageServiceError::rateLimited(30.0));
    EXPECT_EQ(load().errorAs<ClaudeUsageServiceError>(), ClaudeUsageServiceError::rateLimited(30.0));
    answerError(HttpError(HttpError::Kind::timedOut, QStringLiteral("slow")));
    EXPECT_EQ(load().errorAs<HttpError>()->kind(), HttpError::Kind::timedOut);
    EXPECT_EQ(reader->readCount(), 1);

    // The re-read after a rejection reports its own failure.
    answerError(unauthorized);
    fetches->beforeAnswer = [this] { reader->setPayload(R"({"claudeAiOauth":{"accessToken":"t","expiresAt":0}})"); };
    EXPECT_EQ(load().errorAs<StoreError>()->code(), StoreCode::tokenExpired);
    EXPECT_EQ(fetches->tokens.size(), 3);
}

TEST_F(ClaudeAuthenticatedUsageLoaderTest, CancellationDuringTheRequestIsNotTakenForARejection)
{
    reader->setPayload(credential(QStringLiteral("stale")));
    CancelToken token;
    fetches->beforeAnswer = [token] { token.cancel(); };
    answerError(unauthorized);
    EXPECT_TRUE(load(false, token).cancelled());
    EXPECT_EQ(reader->readCount(), 1);
}

} // namespace
} // namespace vantorel
