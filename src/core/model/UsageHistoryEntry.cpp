#include "core/model/UsageHistoryEntry.h"

#include "core/foundation/AppDiagnostics.h"
#include "core/foundation/UuidText.h"
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
    coding::putValue(object, "fiveHourRemainingPercent", entry.fiveHourRemainingPercent.toOptional());
    coding::putValue(object, "weeklyRemainingPercent", entry.weeklyRemainingPercent.toOptional());
    coding::putValue(object, "codexPeriodValidationVersion", entry.codexPeriodValidationVersion.toOptional());
    return object;
}

std::optional<UsageHistoryEntry> usageHistoryEntryFromJson(const Json& value)
{
    FieldReader reader(value);
    UsageHistoryEntry entry;
    entry.id = reader.uuid("id");
    entry.provider = reader.enumeration("provider", &monitoredProviderFromRaw, MonitoredProvider::codex);
    entry.recordedAt = reader.date("recordedAt");
    entry.fiveHourRemainingPercent = CompactPercent::from(reader.optionalNumber("fiveHourRemainingPercent"));
    entry.weeklyRemainingPercent = CompactPercent::from(reader.optionalNumber("weeklyRemainingPercent"));
    const auto version = reader.optionalInteger("codexPeriodValidationVersion");
    if (!reader.ok()) {
        return std::nullopt;
    }
    // Kept as an unconfirmed sample rather than refused, so the history never loses a sample to a
    // stamp no release writes; the log says why it reads as unconfirmed.
    if (version && !CompactVersionCoding::fits(*version)) {
        AppDiagnostics::log(QStringLiteral("usageHistory.versionOutOfRange id=") + uuidText(entry.id)
                            + QStringLiteral(" codexPeriodValidationVersion=") + QString::number(*version));
    }
    entry.codexPeriodValidationVersion = CompactVersion::from(version);
    return entry;
}

} // namespace vantorel
