#include "app/platform/ClaudeCodeTokenStore.h"

#include "app/platform/ClaudeCodeCredentialReader.h"
#include "app/platform/ClaudeCodeTokenStoreError.h"
#include "core/foundation/Json.h"

namespace vantorel {

struct ClaudeCodeTokenStore::State
{
    std::shared_ptr<ClaudeCodeCredentialReader> reader;
    Clock now;
    double cacheLifetime = defaultCacheLifetime;
    double expirationSafetyMargin = defaultExpirationSafetyMargin;
    std::optional<ClaudeCodeTokenInfo> cachedTokenInfo;
    std::optional<Date> cachedAt;

    void clear()
    {
        cachedTokenInfo.reset();
        cachedAt.reset();
    }

    std::optional<ClaudeCodeTokenInfo> servable(Date now) const
    {
        if (!cachedTokenInfo || !cachedAt)
            return std::nullopt;
        // A cache stamped in the future (the clock went back) is not trusted.
        const double age = now - *cachedAt;
        if (!(age >= 0.0 && age < cacheLifetime))
            return std::nullopt;
        const auto& expiresAt = cachedTokenInfo->expiresAt;
        if (expiresAt && !(*expiresAt > now + expirationSafetyMargin))
            return std::nullopt;
        return cachedTokenInfo;
    }
};

namespace {

using TokenStoreCode = ClaudeCodeTokenStoreError::Code;

[[noreturn]] void unsupportedPayload()
{
    throw ClaudeCodeTokenStoreError::decodingFailed();
}

// A key that is absent or null is nullopt; one of another type makes the document undecodable.
template <typename T>
std::optional<T> optionalField(const Json& object, std::string_view key,
                               std::optional<T> (*read)(const Json&, std::string_view))
{
    if (!json::member(object, key))
        return std::nullopt;
    auto value = read(object, key);
    if (!value)
        unsupportedPayload();
    return value;
}

} // namespace

ClaudeCodeTokenStore::ClaudeCodeTokenStore(std::shared_ptr<ClaudeCodeCredentialReader> reader, Clock now,
                                           double cacheLifetime, double expirationSafetyMargin)
    : m_state(std::make_shared<State>())
{
    m_state->reader = std::move(reader);
    m_state->now = std::move(now);
    m_state->cacheLifetime = cacheLifetime;
    m_state->expirationSafetyMargin = expirationSafetyMargin;
}

QCoro::Task<ClaudeCodeTokenInfo> ClaudeCodeTokenStore::readTokenInfo(bool forceReload, CancelToken token)
{
    return readFrom(m_state, forceReload, std::move(token));
}

QCoro::Task<ClaudeCodeTokenInfo> ClaudeCodeTokenStore::readFrom(std::shared_ptr<State> state, bool forceReload,
                                                                CancelToken token)
{
    token.throwIfCancelled();
    if (forceReload)
        state->clear();
    const Date now = state->now();
    token.throwIfCancelled();
    if (!forceReload) {
        if (auto cached = state->servable(now))
            co_return *std::move(cached);
    }

    const auto reader = state->reader;
    const QByteArray payload = co_await reader->readCredential(token);
    token.throwIfCancelled();
    const Date readAt = state->now();
    token.throwIfCancelled();

    auto info = decodeCredential(payload, readAt);
    state->cachedTokenInfo = info;
    state->cachedAt = readAt;
    co_return info;
}

void ClaudeCodeTokenStore::invalidate()
{
    m_state->clear();
}

ClaudeCodeTokenInfo ClaudeCodeTokenStore::decodeCredential(const QByteArray& payload, Date now)
{
    const auto document = json::parse(payload);
    if (!document || !document->is_object())
        unsupportedPayload();

    std::optional<QString> accessToken;
    std::optional<std::int64_t> expiresAtMilliseconds;
    std::optional<QString> subscriptionType;
    if (const Json* oauth = json::member(*document, "claudeAiOauth")) {
        if (!oauth->is_object())
            unsupportedPayload();
        accessToken = optionalField(*oauth, "accessToken", &json::string);
        expiresAtMilliseconds = optionalField(*oauth, "expiresAt", &json::integer);
        subscriptionType = optionalField(*oauth, "subscriptionType", &json::string);
    }

    const auto expiresAt = expiresAtMilliseconds
        ? std::optional(Date::fromUnixSeconds(double(*expiresAtMilliseconds) / 1000.0))
        : std::nullopt;
    if (!accessToken || accessToken->isEmpty()) {
        // Claude Code clears the token and zeroes the expiry once its refresh token is dead: that
        // is a signed-out login, not a storage this application cannot read.
        if (expiresAt && !(*expiresAt > now))
            throw ClaudeCodeTokenStoreError(TokenStoreCode::signedOut);
        throw ClaudeCodeTokenStoreError(TokenStoreCode::tokenMissing);
    }

    ClaudeCodeTokenInfo info;
    info.accessToken = *accessToken;
    if (expiresAt) {
        if (!(*expiresAt > now))
            throw ClaudeCodeTokenStoreError::tokenExpired(*expiresAt);
        info.expiresAt = expiresAt;
    }
    if (subscriptionType) {
        const QString plan = subscriptionType->trimmed();
        if (!plan.isEmpty())
            info.subscriptionType = plan;
    }
    return info;
}

} // namespace vantorel
