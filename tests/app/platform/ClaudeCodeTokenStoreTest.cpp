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

namespace vantorel {
namespace {

using StoreCode = ClaudeCodeTokenStoreError::Code;

// Claude Code's credential document as it writes it, with the parts the store reads.
QByteArray credential(const QString& accessToken, std::optional<double> expiresAtMs = std::nullopt,
                      std::optional<QString> plan = QStringLiteral("max"))
{
    Json oauth = {{"accessToken", accessToken.toStdString()},
                  {"refreshToken", "refresh"},
                  {"scopes", {"user:inference", "user:profile"}},
                  {"rateLimitTier", nullptr},
                  {"clientId", "client"}};
    if (expiresAtMs)
        oauth["expiresAt"] = std::int64_t(*expiresAtMs);
    oauth["subscriptionType"] = plan ? Json(plan->toStdString()) : Json(nullptr);
    return QByteArray::fromStdString(Json{{"claudeAiOauth", oauth}, {"mcpOAuth", Json::object()}}.dump()) + '\n';
}

double milliseconds(Date date)
{
    return date.timeIntervalSince1970() * 1000.0;
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

TEST_F(ClaudeCodeTokenStoreTest, ServesTheCacheForSixtySecondsThenReadsAgain)
{
    reader->setPayload(credential(QStringLiteral("first")));
    EXPECT_EQ(readToken(), QStringLiteral("first"));
    reader->setPayload(credential(QStringLiteral("second")));

    clock.advance(59.999);
    EXPECT_EQ(readToken(), QStringLiteral("first"));
    EXPECT_EQ(reader->readCount(), 1);

    clock.advance(0.001);
    EXPECT_EQ(readToken(), QStringLiteral("second"));
    EXPECT_EQ(reader->readCount(), 2);
}

TEST_F(ClaudeCodeTokenStoreTest, ForcedReloadAndInvalidateBypassTheCache)
{
    reader->setPayload(credential(QStringLiteral("first")));
    EXPECT_EQ(readToken(), QStringLiteral("first"));
    reader->setPayload(credential(QStringLiteral("second")));
    EXPECT_EQ(readToken(true), QStringLiteral("second"));
    EXPECT_EQ(reader->readCount(), 2);

    // A forced reload that fails leaves nothing behind to serve.
    reader->setError(ClaudeCodeTokenStoreError(StoreCode::keychainReadFailed));
    EXPECT_EQ(read(true).errorAs<ClaudeCodeTokenStoreError>(),
              ClaudeCodeTokenStoreError(StoreCode::keychainReadFailed));
    reader->setPayload(credential(QStringLiteral("third")));
    EXPECT_EQ(readToken(), QStringLiteral("third"));
    EXPECT_EQ(reader->readCount(), 4);

    store->invalidate();
    reader->setPayload(credential(QStringLiteral("fourth")));
    EXPECT_EQ(readToken(), QStringLiteral("fourth"));
    EXPECT_EQ(reader->readCount(), 5);
}

TEST_F(ClaudeCodeTokenStoreTest, CachedTokenIsServedOnlyWhenItOutlivesTheSafetyMargin)
{
    struct Row
    {
        double expiresInSecondsAtSecondRead;
        bool servedFromCache;
    };
    for (const Row row : {Row{60.001, true}, Row{60.0, false}, Row{30.0, false}}) {
        SCOPED_TRACE(row.expiresInSecondsAtSecondRead);
        reader = std::make_shared<FakeClaudeCodeCredentialReader>();
        store = std::make_shared<ClaudeCodeTokenStore>(reader, clock.clock());
        const Date secondRead = clock.now() + 10.0;
        reader->setPayload(credential(QStringLiteral("token"), milliseconds(secondRead + row.expiresInSecondsAtSecondRead)));
        ASSERT_EQ(readToken(), QStringLiteral("token"));
        clock.set(secondRead);
        // The same, still valid token is accepted again and re-cached when read anew.
        EXPECT_EQ(readToken(), QStringLiteral("token"));
        EXPECT_EQ(reader->readCount(), row.servedFromCache ? 1 : 2);
    }
}

TEST_F(ClaudeCodeTokenStoreTest, CacheStampedInTheFutureIsNotServed)
{
    reader->setPayload(credential(QStringLiteral("token")));
    readToken();
    clock.advance(-1.0);
    readToken();
    EXPECT_EQ(reader->readCount(), 2);
}

TEST_F(ClaudeCodeTokenStoreTest, DecodesClaudeCodesDocumentLeniently)
{
    const Date now = clock.now();
    reader->setPayload(credential(QStringLiteral(" token with blanks "), milliseconds(now) + 1.0, QStringLiteral("  pro\n")));
    const auto outcome = read();
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->accessToken, QStringLiteral(" token with blanks "));
    EXPECT_EQ(outcome.value->subscriptionType, QStringLiteral("pro"));
    ASSERT_TRUE(outcome.value->expiresAt);
    EXPECT_NEAR(outcome.value->expiresAt->timeIntervalSince(now), 0.001, 1e-6);

    struct Row
    {
        const char* name;
        QByteArray payload;
        std::optional<QString> plan;
    };
    const Row rows[] = {
        {"blank plan", R"({"claudeAiOauth":{"accessToken":"t","subscriptionType":" \n\t"}})", std::nullopt},
        {"null plan and expiry", R"({"claudeAiOauth":{"accessToken":"t","subscriptionType":null,"expiresAt":null}})", std::nullopt},
        {"no plan", R"({"claudeAiOauth":{"accessToken":"t"},"other":[1,2]})", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto info = ClaudeCodeTokenStore::decodeCredential(row.payload, now);
        EXPECT_EQ(info.subscriptionType, row.plan);
        EXPECT_EQ(info.expiresAt, std::nullopt);
    }
}

TEST_F(ClaudeCodeTokenStoreTest, RefusesMalformedMissingAndExpiredCredentials)
{
    const Date now = clock.now();
    const QByteArray nowMs = QByteArray::number(qint64(milliseconds(now)));
    const auto decoding = ClaudeCodeTokenStoreError::decodingFailed(QStringLiteral("unsupported-payload"));
    const auto missing = ClaudeCodeTokenStoreError(StoreCode::tokenMissing);
    struct Row
    {
        const char* name;
        QByteArray payload;
        ClaudeCodeTokenStoreError expected;
    };
    const Row rows[] = {
        {"not JSON", "security: item not found", decoding},
        {"empty", "", decoding},
        {"not UTF-8", "{\"claudeAiOauth\":{\"accessToken\":\"\xff\xfe\"}}", decoding},
        {"array", "[]", decoding},
        {"OAuth object as text", R"({"claudeAiOauth":"token"})", decoding},
        {"token as number", R"({"claudeAiOauth":{"accessToken":42}})", decoding},
        {"expiry as text", R"({"claudeAiOauth":{"accessToken":"t","expiresAt":"1772323200000"}})", decoding},
        {"expiry as fraction", R"({"claudeAiOauth":{"accessToken":"t","expiresAt":1772323200000.5}})", decoding},
        {"expiry as Boolean", R"({"claudeAiOauth":{"accessToken":"t","expiresAt":true}})", decoding},
        {"expiry beyond 64 bits", R"({"claudeAiOauth":{"accessToken":"t","expiresAt":1e30}})", decoding},
        {"plan as number", R"({"claudeAiOauth":{"accessToken":"t","subscriptionType":5}})", decoding},
        // The whole document is decoded before the token is looked at.
        {"bad plan beside empty token", R"({"claudeAiOauth":{"accessToken":"","subscriptionType":5}})", decoding},
        {"no OAuth object", R"({"primaryApiKey":"x"})", missing},
        {"null OAuth object", R"({"claudeAiOauth":null})", missing},
        {"no token", R"({"claudeAiOauth":{"expiresAt":1}})", missing},
        {"null token", R"({"claudeAiOauth":{"accessToken":null}})", missing},
        {"empty token", R"({"claudeAiOauth":{"accessToken":"","expiresAt":0}})", missing},
        {"expires now", R"({"claudeAiOauth":{"accessToken":"t","expiresAt":)" + nowMs + "}}",
         ClaudeCodeTokenStoreError::tokenExpired(Date::fromUnixSeconds(qint64(milliseconds(now)) / 1000.0))},
        {"expired long ago", R"({"claudeAiOauth":{"accessToken":"t","expiresAt":0}})",
         ClaudeCodeTokenStoreError::tokenExpired(Date::fromUnixSeconds(0))},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        reader->setPayload(row.payload);
        EXPECT_EQ(read().errorAs<ClaudeCodeTokenStoreError>(), row.expected);
    }

    // Nothing was cached by the failures: a good document is read at once.
    reader->setPayload(credential(QStringLiteral("good")));
    EXPECT_EQ(readToken(), QStringLiteral("good"));
}

TEST_F(ClaudeCodeTokenStoreTest, ReaderErrorsPassThroughAndCancellationStaysCancellation)
{
    reader->setError(ClaudeCodeTokenStoreError(StoreCode::keychainTimedOut));
    EXPECT_EQ(read().errorAs<ClaudeCodeTokenStoreError>(), ClaudeCodeTokenStoreError(StoreCode::keychainTimedOut));

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

TEST_F(ClaudeCodeTokenStoreTest, OverlappingReadsBothReadAndTheLaterResultIsCached)
{
    reader->setHeld(true);
    reader->setPayload(credential(QStringLiteral("older")));
    auto first = startTask(store->readTokenInfo(false));
    reader->setPayload(credential(QStringLiteral("newer")));
    auto second = startTask(store->readTokenInfo(false));
    EXPECT_EQ(reader->heldReadCount(), 2);
    reader->releaseHeldReads();
    drainEvents();
    ASSERT_TRUE(first->value && second->value);
    EXPECT_EQ(first->value->accessToken, QStringLiteral("older"));
    reader->setHeld(false);
    EXPECT_EQ(readToken(), QStringLiteral("newer"));
    EXPECT_EQ(reader->readCount(), 2);
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
        {"retry date passed", valid, now - 1.0, std::nullopt, false},
        {"empty token", {QString(), std::nullopt, std::nullopt}, now + 30.0, std::nullopt, false},
        {"rejected token", valid, now + 30.0, QStringLiteral("token"), false},
        {"expires now", {QStringLiteral("token"), now, std::nullopt}, now + 30.0, std::nullopt, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.info.canDeferUsageRequest(row.retryAfter, row.rejected, now), row.expected) << row.name;
}

// The usage request the loader makes: records the tokens it is given and answers from a script.
struct ScriptedFetch
{
    struct State
    {
        std::deque<std::function<UsageSnapshot()>> answers;
        QStringList tokens;
        QList<std::optional<QString>> plans;
        std::function<void()> beforeAnswer;
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    template <typename E>
    void fail(E error)
    {
        state->answers.push_back([error]() -> UsageSnapshot { throw error; });
    }
    void succeed(double fiveHourRemaining)
    {
        state->answers.push_back([fiveHourRemaining] {
            UsageSnapshot snapshot;
            snapshot.fiveHourRemainingPercent = fiveHourRemaining;
            return snapshot;
        });
    }

    ClaudeAuthenticatedUsageLoader::UsageFetch operation() const
    {
        return [state = state](ClaudeCodeTokenInfo info, CancelToken) -> QCoro::Task<UsageSnapshot> {
            state->tokens.append(info.accessToken);
            state->plans.append(info.subscriptionType);
            if (state->beforeAnswer)
                state->beforeAnswer();
            auto answer = state->answers.front();
            state->answers.pop_front();
            co_return answer();
        };
    }
};

class ClaudeAuthenticatedUsageLoaderTest : public ClaudeCodeTokenStoreTest
{
protected:
    ScriptedFetch fetch;

    TaskOutcome<UsageSnapshot> load(bool forceCredentialReload = false, CancelToken token = {})
    {
        const ClaudeAuthenticatedUsageLoader loader(store, fetch.operation());
        auto outcome = startTask(loader.fetchUsage(forceCredentialReload, token));
        drainEvents();
        EXPECT_TRUE(outcome->finished);
        return *outcome;
    }
};

const ClaudeUsageServiceError unauthorized(ClaudeUsageServiceError::Code::unauthorized);

TEST_F(ClaudeAuthenticatedUsageLoaderTest, FetchesWithTheStoredTokenAndPlan)
{
    reader->setPayload(credential(QStringLiteral("token"), std::nullopt, QStringLiteral("max")));
    fetch.succeed(40.0);
    const auto outcome = load();
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->fiveHourRemainingPercent, 40.0);
    EXPECT_EQ(fetch.state->tokens, QStringList{QStringLiteral("token")});
    EXPECT_EQ(fetch.state->plans.value(0), QStringLiteral("max"));

    // A forced reload passes through to the store.
    fetch.succeed(41.0);
    load(true);
    EXPECT_EQ(reader->readCount(), 2);
}

TEST_F(ClaudeAuthenticatedUsageLoaderTest, RejectedTokenThatIsStillStoredEndsUnauthorizedAfterOneRequest)
{
    reader->setPayload(credential(QStringLiteral("stale")));
    fetch.fail(unauthorized);
    EXPECT_EQ(load().errorAs<ClaudeUsageServiceError>(), unauthorized);
    EXPECT_EQ(reader->readCount(), 2);
    EXPECT_EQ(fetch.state->tokens.size(), 1);
}

TEST_F(ClaudeAuthenticatedUsageLoaderTest, RejectedTokenIsRetriedOnceWithARenewedOne)
{
    reader->setPayload(credential(QStringLiteral("stale")));
    fetch.fail(unauthorized);
    fetch.state->beforeAnswer = [this] { reader->setPayload(credential(QStringLiteral("renewed"))); };
    fetch.succeed(70.0);
    const auto success = load();
    ASSERT_TRUE(success.value);
    EXPECT_EQ(success.value->fiveHourRemainingPercent, 70.0);
    EXPECT_EQ(fetch.state->tokens, (QStringList{QStringLiteral("stale"), QStringLiteral("renewed")}));

    // The second answer is final, even when it is another rejection.
    fetch.state->tokens.clear();
    fetch.state->beforeAnswer = [this] { reader->setPayload(credential(QStringLiteral("renewed-") + QString::number(fetch.state->tokens.size()))); };
    store->invalidate();
    fetch.fail(unauthorized);
    fetch.fail(unauthorized);
    EXPECT_EQ(load().errorAs<ClaudeUsageServiceError>(), unauthorized);
    EXPECT_EQ(fetch.state->tokens.size(), 2);
}

TEST_F(ClaudeAuthenticatedUsageLoaderTest, OtherFailuresPassUnchangedWithoutRereading)
{
    reader->setPayload(credential(QStringLiteral("token")));
    fetch.fail(ClaudeUsageServiceError::rateLimited(30.0));
    EXPECT_EQ(load().errorAs<ClaudeUsageServiceError>(), ClaudeUsageServiceError::rateLimited(30.0));
    fetch.fail(HttpError(HttpError::Kind::timedOut, QStringLiteral("slow")));
    EXPECT_EQ(load().errorAs<HttpError>()->kind(), HttpError::Kind::timedOut);
    EXPECT_EQ(reader->readCount(), 1);

    // The re-read after a rejection reports its own failure.
    fetch.fail(unauthorized);
    fetch.state->beforeAnswer = [this] { reader->setPayload(R"({"claudeAiOauth":{"accessToken":"t","expiresAt":0}})"); };
    EXPECT_EQ(load().errorAs<ClaudeCodeTokenStoreError>()->code(), StoreCode::tokenExpired);

    reader->setError(ClaudeCodeTokenStoreError(StoreCode::keychainReadFailed));
    store->invalidate();
    EXPECT_EQ(load().errorAs<ClaudeCodeTokenStoreError>()->code(), StoreCode::keychainReadFailed);
    EXPECT_EQ(fetch.state->tokens.size(), 3);
}

TEST_F(ClaudeAuthenticatedUsageLoaderTest, CancellationDuringTheRequestIsNotTakenForARejection)
{
    reader->setPayload(credential(QStringLiteral("stale")));
    CancelToken token;
    fetch.state->beforeAnswer = [token] { token.cancel(); };
    fetch.fail(unauthorized);
    EXPECT_TRUE(load(false, token).cancelled());
    EXPECT_EQ(reader->readCount(), 1);
}

} // namespace
} // namespace vantorel
