#include "core/model/UsageSnapshot.h"

#include "core/model/CodexPeriodValidation.h"
#include "core/model/ModelCoding.h"

namespace vantorel {

bool UsageSnapshot::codexPeriodsAreConfirmed() const
{
    switch (source) {
    case UsageSource::manual:
        return true;
    case UsageSource::codexCLI:
    case UsageSource::pasted:
        return codexPeriodValidationVersion == CodexPeriodValidation::currentVersion;
    case UsageSource::claudeOAuth:
        return false;
    }
    return false;
}

bool UsageSnapshot::codexFiveHourWindowIsTemporarilyUnavailable() const
{
    return source == UsageSource::codexCLI && codexPeriodsAreConfirmed() && !fiveHourRemainingPercent
        && !fiveHourResetAt && (weeklyRemainingPercent || weeklyResetAt);
}

bool UsageSnapshot::hasAnyValue() const
{
    return fiveHourRemainingPercent || weeklyRemainingPercent || creditsRemaining || bankedReset || resetAt
        || fiveHourResetAt || weeklyResetAt;
}

Json toJson(const UsageSnapshot& snapshot)
{
    Json object = Json::object();
    coding::putValue(object, "fiveHourRemainingPercent", snapshot.fiveHourRemainingPercent);
    coding::putValue(object, "weeklyRemainingPercent", snapshot.weeklyRemainingPercent);
    coding::putString(object, "creditsRemaining", snapshot.creditsRemaining);
    if (snapshot.bankedReset) {
        object["bankedReset"] = toJson(*snapshot.bankedReset);
    }
    coding::putDate(object, "resetAt", snapshot.resetAt);
    coding::putDate(object, "fiveHourResetAt", snapshot.fiveHourResetAt);
    coding::putDate(object, "weeklyResetAt", snapshot.weeklyResetAt);
    coding::putString(object, "planType", snapshot.planType);
    coding::putString(object, "limitId", snapshot.limitId);
    object["source"] = json::str(rawValue(snapshot.source));
    object["updatedAt"] = json::storeDateValue(snapshot.updatedAt);
    coding::putValue(object, "codexPeriodValidationVersion", snapshot.codexPeriodValidationVersion);
    return object;
}

std::optional<UsageSnapshot> usageSnapshotFromJson(const Json& value)
{
    FieldReader reader(value);
    UsageSnapshot snapshot;
    snapshot.fiveHourRemainingPercent = reader.optionalNumber("fiveHourRemainingPercent");
    snapshot.weeklyRemainingPercent = reader.optionalNumber("weeklyRemainingPercent");
    snapshot.creditsRemaining = reader.optionalString("creditsRemaining");
    snapshot.bankedReset = reader.optionalRecord("bankedReset", &bankedResetSummaryFromJson);
    snapshot.resetAt = reader.optionalDate("resetAt");
    snapshot.fiveHourResetAt = reader.optionalDate("fiveHourResetAt");
    snapshot.weeklyResetAt = reader.optionalDate("weeklyResetAt");
    snapshot.planType = reader.optionalString("planType");
    snapshot.limitId = reader.optionalString("limitId");
    snapshot.source = reader.enumeration("source", &usageSourceFromRaw, UsageSource::manual);
    snapshot.updatedAt = reader.date("updatedAt");
    snapshot.codexPeriodValidationVersion = reader.optionalInteger("codexPeriodValidationVersion");
    if (!reader.ok()) {
        return std::nullopt;
    }
    return snapshot;
}

} // namespace vantorel
