#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"
#include "core/model/BankedResetSummary.h"
#include "core/model/UsageSource.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace vantorel {

// One provider's usage reading. Percentages are the remaining share (0 to 100) of each window.
struct UsageSnapshot
{
    std::optional<double> fiveHourRemainingPercent;
    std::optional<double> weeklyRemainingPercent;
    std::optional<QString> creditsRemaining;
    std::optional<BankedResetSummary> bankedReset;
    std::optional<Date> resetAt;
    std::optional<Date> fiveHourResetAt;
    std::optional<Date> weeklyResetAt;
    std::optional<QString> planType;
    std::optional<QString> limitId;
    UsageSource source = UsageSource::manual;
    Date updatedAt;
    std::optional<std::int64_t> codexPeriodValidationVersion;

    // Manual readings always; Codex CLI and pasted readings only with the current validation
    // version; Claude readings never.
    bool codexPeriodsAreConfirmed() const;
    // A confirmed Codex CLI reading that reports the weekly window but not the five-hour one: the
    // five-hour window is not in effect for now and its gauge is hidden.
    bool codexFiveHourWindowIsTemporarilyUnavailable() const;
    // Any remaining percent, credits text, banked-reset summary or reset date.
    bool hasAnyValue() const;

    bool operator==(const UsageSnapshot&) const = default;
};

Json toJson(const UsageSnapshot& snapshot);
std::optional<UsageSnapshot> usageSnapshotFromJson(const Json& value);

} // namespace vantorel
