#include "app/platform/ClaudeCodeTokenInfo.h"

namespace vantorel {

bool ClaudeCodeTokenInfo::canDeferUsageRequest(std::optional<Date> retryAfter,
                                               const std::optional<QString>& rejectedAccessToken, Date now) const
{
    if (!retryAfter || !(*retryAfter > now))
        return false;
    if (accessToken.isEmpty())
        return false;
    if (rejectedAccessToken && accessToken == *rejectedAccessToken)
        return false;
    return !expiresAt || *expiresAt > now;
}

} // namespace vantorel
