#include "core/model/UsageHistoryEntry.h"

#include "core/model/CodexPeriodValidation.h"
#include "core/model/ModelCoding.h"

namespace vantorel {

bool UsageHistoryEntry::periodsAreConfirmed() const
{
    return provider == MonitoredProvider::claude
        || codexPeriodValidationVersion == CodexPeriodValidation::currentVersion;
}

Json toJson(const UsageHistoryEntry& entry)
{
    Json object = Json::object();
    object["id"] = json::uuidValue(entry.id);
    object["provider"] = json::str(rawValue(entry.provider));
    object["recordedAt"] = json::storeDateValue(entry.recordedAt);
    coding::putValue(object, "fiveHourRemainingPercent", std::optional<double>(entry.fiveHourRemainingPercent));
    coding::putValue(object, "weeklyRemainingPercent", std::optional<double>(entry.weeklyRemainingPercent));
    coding::putValue(object, "codexPeriodValidationVersion",
                     std::optional<std::int64_t>(entry.codexPeriodValidationVersion));
    return object;
}

std::optional<UsageHistoryEntry> usageHistoryEntryFromJson(const Json& value)
{
    FieldReader reader(value);
    UsageHistoryEntry entry;
    entry.id = reader.uuid("id");
    entry.provider = reader.enumeration("provider", &monitoredProviderFromRaw, MonitoredProvider::codex);
    entry.recordedAt = reader.date("recordedAt");
    entry.fiveHourRemainingPercent = reader.optionalNumber("fiveHourRemainingPercent");
    entry.weeklyRemainingPercent = reader.optionalNumber("weeklyRemainingPercent");
    entry.codexPeriodValidationVersion = reader.optionalInteger("codexPeriodValidationVersion");
    if (!reader.ok()) {
        return std::nullopt;
    }
    return entry;
}

} // namespace vantorel
