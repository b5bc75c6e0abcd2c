#pragma once

#include "core/foundation/Date.h"

#include <QString>

#include <optional>

namespace vantorel {

// A usable OAuth token read from Claude Code's stored credential.
struct ClaudeCodeTokenInfo
{
    // Never empty; used exactly as stored.
    QString accessToken;
    // Absent when the credential names no expiry.
    std::optional<Date> expiresAt;
    // The plan, trimmed; never empty.
    std::optional<QString> subscriptionType;

    // Whether a retry planned for `retryAfter` may simply wait for that date with this token:
    // the date lies strictly after `now`, the token is not empty, is not the one the service
    // rejected, and has not expired.
    bool canDeferUsageRequest(std::optional<Date> retryAfter, const std::optional<QString>& rejectedAccessToken,
                              Date now) const;

    bool operator==(const ClaudeCodeTokenInfo&) const = default;
};

} // namespace vantorel
