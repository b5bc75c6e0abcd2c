#pragma once

#include "app/platform/ClaudeCodeTokenInfo.h"
#include "core/foundation/CancelToken.h"
#include "core/foundation/Clock.h"

#include <QByteArray>

#include <QCoroTask>

#include <memory>

namespace vantorel {

class ClaudeCodeCredentialReader;

// Serves the OAuth token that Claude Code keeps for itself: reads its stored credential through
// the reader, rejects a missing or expired token and keeps an accepted one in memory for a short
// time. Never writes the credential. Lives on the thread that made it (calls overlap only at
// their awaits: two callers that both miss the cache both read, and the later read wins).
class ClaudeCodeTokenStore
{
public:
    static constexpr double defaultCacheLifetime = 60.0;
    static constexpr double defaultExpirationSafetyMargin = 60.0;

    explicit ClaudeCodeTokenStore(std::shared_ptr<ClaudeCodeCredentialReader> reader, Clock now = systemClock(),
                                  double cacheLifetime = defaultCacheLifetime,
                                  double expirationSafetyMargin = defaultExpirationSafetyMargin);

    // The cached token while it is younger than the cache lifetime (read at or before now) and
    // does not expire within the safety margin; otherwise, or with `forceReload` (which also
    // drops the cache), a fresh read. Throws ClaudeCodeTokenStoreError, the reader's errors
    // unchanged, or CancellationError (checked before and after every step). A failed read caches
    // nothing. The store may be destroyed while this runs.
    QCoro::Task<ClaudeCodeTokenInfo> readTokenInfo(bool forceReload, CancelToken token = {});

    // Forgets the cached token, so the next read goes to the credential.
    void invalidate();

    // Decodes Claude Code's credential document ({"claudeAiOauth":{"accessToken", "expiresAt" in
    // milliseconds since 1970, "subscriptionType"}}; other keys ignored, null reads as absent):
    // decodingFailed("unsupported-payload") for anything else; without a non-empty token
    // signedOut when the expiry is not later than `now`, else tokenMissing; tokenExpired when the
    // expiry is not later than `now`.
    static ClaudeCodeTokenInfo decodeCredential(const QByteArray& payload, Date now);

private:
    struct State;
    // Works on the shared state only, so it may outlive the store.
    static QCoro::Task<ClaudeCodeTokenInfo> readFrom(std::shared_ptr<State> state, bool forceReload, CancelToken token);

    std::shared_ptr<State> m_state;
};

} // namespace vantorel
