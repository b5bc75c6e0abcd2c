#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"
#include "core/model/MonitoredProvider.h"

#include <QUuid>

#include <cstdint>
#include <optional>

namespace vantorel {

// One usage-history sample for the charts and the companion snapshot.
struct UsageHistoryEntry
{
    QUuid id;
    MonitoredProvider provider = MonitoredProvider::codex;
    Date recordedAt;
    std::optional<double> fiveHourRemainingPercent;
    std::optional<double> weeklyRemainingPercent;
    std::optional<std::int64_t> codexPeriodValidationVersion;

    // Claude samples always; Codex samples only with the current period-validation version.
    bool periodsAreConfirmed() const;

    bool operator==(const UsageHistoryEntry&) const = default;
};

Json toJson(const UsageHistoryEntry& entry);
std::optional<UsageHistoryEntry> usageHistoryEntryFromJson(const Json& value);

} // namespace vantorel
