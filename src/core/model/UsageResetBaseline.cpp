#include "core/model/UsageResetBaseline.h"

#include "core/model/ModelCoding.h"

namespace vantorel {

Json toJson(const UsageResetBaseline& baseline)
{
    Json object = Json::object();
    coding::putDate(object, "resetAt", baseline.resetAt);
    coding::putValue(object, "remainingPercent", baseline.remainingPercent);
    coding::putDate(object, "lastConfirmedResetAt", baseline.lastConfirmedResetAt);
    coding::putValue(object, "codexPeriodValidationVersion", baseline.codexPeriodValidationVersion);
    return object;
}

std::optional<UsageResetBaseline> usageResetBaselineFromJson(const Json& value)
{
    FieldReader reader(value);
    UsageResetBaseline baseline;
    baseline.resetAt = reader.optionalDate("resetAt");
    baseline.remainingPercent = reader.optionalNumber("remainingPercent");
    baseline.lastConfirmedResetAt = reader.optionalDate("lastConfirmedResetAt");
    baseline.codexPeriodValidationVersion = reader.optionalInteger("codexPeriodValidationVersion");
    if (!reader.ok()) {
        return std::nullopt;
    }
    return baseline;
}

Json toJson(const QMap<QString, UsageResetBaseline>& baselines)
{
    Json object = Json::object();
    for (auto it = baselines.cbegin(); it != baselines.cend(); ++it) {
        object[json::str(it.key())] = toJson(it.value());
    }
    return object;
}

std::optional<QMap<QString, UsageResetBaseline>> usageResetBaselinesFromJson(const Json& value)
{
    if (!value.is_object()) {
        return std::nullopt;
    }
    QMap<QString, UsageResetBaseline> baselines;
    for (const auto& [key, element] : value.items()) {
        auto baseline = usageResetBaselineFromJson(element);
        if (!baseline) {
            return std::nullopt;
        }
        baselines.insert(json::qstr(key), *baseline);
    }
    return baselines;
}

} // namespace vantorel
