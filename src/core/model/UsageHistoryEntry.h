#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"
#include "core/model/CompactPercent.h"
#include "core/model/CompactVersion.h"
#include "core/model/MonitoredProvider.h"

#include <QUuid>

#include <cstdint>
#include <optional>

namespace vantorel {

// One usage-history sample for the charts and the companion snapshot. Thousands are kept for
// the life of the application, so the fields are laid out to fill 40 bytes without padding; the
// constructor keeps the order id, provider, time, five-hour, weekly, version, and narrows the
// figures to their compact forms.
struct UsageHistoryEntry
{
    UsageHistoryEntry() = default;
    UsageHistoryEntry(const QUuid& id, MonitoredProvider provider, Date recordedAt,
                      std::optional<double> fiveHourRemainingPercent = {},
                      std::optional<double> weeklyRemainingPercent = {},
                      std::optional<std::int64_t> codexPeriodValidationVersion = {})
        : id(id)
        , recordedAt(recordedAt)
        , fiveHourRemainingPercent(CompactPercent::from(fiveHourRemainingPercent))
        , weeklyRemainingPercent(CompactPercent::from(weeklyRemainingPercent))
        , codexPeriodValidationVersion(CompactVersion::from(codexPeriodValidationVersion))
        , provider(provider)
    {
    }

    QUuid id;
    Date recordedAt;
    CompactPercent fiveHourRemainingPercent;
    CompactPercent weeklyRemainingPercent;
    CompactVersion codexPeriodValidationVersion;
    MonitoredProvider provider = MonitoredProvider::codex;

    // Claude samples always; Codex samples only with the current period-validation version.
    bool periodsAreConfirmed() const;

    bool operator==(const UsageHistoryEntry&) const = default;
};

static_assert(sizeof(UsageHistoryEntry) == 40);

Json toJson(const UsageHistoryEntry& entry);
std::optional<UsageHistoryEntry> usageHistoryEntryFromJson(const Json& value);

} // namespace vantorel
