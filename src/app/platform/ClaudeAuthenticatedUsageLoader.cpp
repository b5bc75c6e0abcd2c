#include "app/platform/ClaudeAuthenticatedUsageLoader.h"

#include "app/platform/ClaudeCodeTokenStore.h"
#include "core/sources/ClaudeUsageServiceError.h"

namespace vantorel {

ClaudeAuthenticatedUsageLoader::ClaudeAuthenticatedUsageLoader(std::shared_ptr<ClaudeCodeTokenStore> store,
                                                               UsageFetch fetch)
    : m_store(std::move(store))
    , m_fetch(std::move(fetch))
{
}

QCoro::Task<UsageSnapshot> ClaudeAuthenticatedUsageLoader::fetchUsage(bool forceCredentialReload,
                                                                      CancelToken token) const
{
    return run(m_store, m_fetch, forceCredentialReload, std::move(token));
}

QCoro::Task<UsageSnapshot> ClaudeAuthenticatedUsageLoader::run(std::shared_ptr<ClaudeCodeTokenStore> store,
                                                               UsageFetch fetch, bool forceCredentialReload,
                                                               CancelToken token)
{
    using Code = ClaudeUsageServiceError::Code;
    token.throwIfCancelled();
    const ClaudeCodeTokenInfo rejected = co_await store->readTokenInfo(forceCredentialReload, token);
    token.throwIfCancelled();
    try {
        co_return co_await fetch(rejected, token);
    } catch (const ClaudeUsageServiceError& error) {
        if (error.code() != Code::unauthorized)
            throw;
    }

    // Claude Code may have renewed the token since it was cached: look at the credential itself.
    token.throwIfCancelled();
    const ClaudeCodeTokenInfo renewed = co_await store->readTokenInfo(true, token);
    if (renewed.accessToken == rejected.accessToken)
        throw ClaudeUsageServiceError(Code::unauthorized);
    token.throwIfCancelled();
    co_return co_await fetch(renewed, token);
}

} // namespace vantorel
