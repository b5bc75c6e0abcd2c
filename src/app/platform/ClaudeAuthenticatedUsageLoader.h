#pragma once

#include "app/platform/ClaudeCodeTokenInfo.h"
#include "core/foundation/CancelToken.h"
#include "core/model/UsageSnapshot.h"

#include <QCoroTask>

#include <functional>
#include <memory>

namespace vantorel {

class ClaudeCodeTokenStore;

// One Claude usage request with Claude Code's token: reads the token, asks for the usage and,
// when the service rejects the token, re-reads the credential once and retries only with a
// different token. Holds no state of its own; the view model builds one per refresh.
class ClaudeAuthenticatedUsageLoader
{
public:
    // Asks the usage service with the given token (the view model passes the token and its plan
    // to the Claude usage client).
    using UsageFetch = std::function<QCoro::Task<UsageSnapshot>(ClaudeCodeTokenInfo, CancelToken)>;

    ClaudeAuthenticatedUsageLoader(std::shared_ptr<ClaudeCodeTokenStore> store, UsageFetch fetch);

    // At most two token reads and two requests. Throws the store's and the fetch's errors
    // unchanged; ClaudeUsageServiceError `unauthorized` when the re-read yields the rejected
    // token again; CancellationError when `token` is cancelled between the steps.
    QCoro::Task<UsageSnapshot> fetchUsage(bool forceCredentialReload, CancelToken token = {}) const;

private:
    static QCoro::Task<UsageSnapshot> run(std::shared_ptr<ClaudeCodeTokenStore> store, UsageFetch fetch,
                                          bool forceCredentialReload, CancelToken token);

    std::shared_ptr<ClaudeCodeTokenStore> m_store;
    UsageFetch m_fetch;
};

} // namespace vantorel
