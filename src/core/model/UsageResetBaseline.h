#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"

#include <QMap>
#include <QString>

#include <cstdint>
#include <optional>

namespace vantorel {

// The last observed reset date and remaining percent of one provider window: the basis of reset
// detection. Every field is optional and written only when present.
struct UsageResetBaseline
{
    std::optional<Date> resetAt;
    std::optional<double> remainingPercent;
    std::optional<Date> lastConfirmedResetAt;
    std::optional<std::int64_t> codexPeriodValidationVersion;

    bool operator==(const UsageResetBaseline&) const = default;
};

Json toJson(const UsageResetBaseline& baseline);
std::optional<UsageResetBaseline> usageResetBaselineFromJson(const Json& value);

// The stored map from window key ("Codex-five", "Claude-weekly"...) to baseline; one baseline
// that does not decode fails the map.
Json toJson(const QMap<QString, UsageResetBaseline>& baselines);
std::optional<QMap<QString, UsageResetBaseline>> usageResetBaselinesFromJson(const Json& value);

} // namespace vantorel
