#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace vantorel {

// The request and token rate limits of one OpenAI API model, read from response headers.
struct RateLimitSnapshot
{
    std::optional<std::int64_t> requestLimit;
    std::optional<std::int64_t> requestsRemaining;
    std::optional<std::int64_t> tokenLimit;
    std::optional<std::int64_t> tokensRemaining;
    std::optional<double> requestResetSeconds;
    std::optional<double> tokenResetSeconds;
    QString model;
    QString source;
    Date updatedAt;

    // remaining / limit × 100; none when a count is missing, the limit is below 1 or the
    // remaining count lies outside 0...limit.
    std::optional<double> requestRemainingPercent() const;
    std::optional<double> tokenRemainingPercent() const;

    bool operator==(const RateLimitSnapshot&) const = default;
};

Json toJson(const RateLimitSnapshot& snapshot);
std::optional<RateLimitSnapshot> rateLimitSnapshotFromJson(const Json& value);

} // namespace vantorel
