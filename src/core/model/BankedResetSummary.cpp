#include "core/model/BankedResetSummary.h"

#include "core/model/ModelCoding.h"

namespace vantorel {

std::optional<Date> BankedResetSummary::nearestExpiration(Date date) const
{
    if (!credits) {
        return std::nullopt;
    }
    std::optional<Date> nearest;
    for (const BankedResetCredit& credit : *credits) {
        if (!credit.isAvailable() || !credit.expiresAt || !credit.expiresAt->isFinite()) {
            continue;
        }
        if (*credit.expiresAt > date && (!nearest || *credit.expiresAt < *nearest)) {
            nearest = credit.expiresAt;
        }
    }
    return nearest;
}

Json toJson(const BankedResetSummary& summary)
{
    Json object = Json::object();
    object["availableCount"] = summary.availableCount;
    if (summary.credits) {
        object["credits"] = toJsonArray(*summary.credits);
    }
    coding::putValue(object, "pendingAvailableCount", summary.pendingAvailableCount);
    coding::putValue(object, "pendingAvailableCountObservations", summary.pendingAvailableCountObservations);
    return object;
}

std::optional<BankedResetSummary> bankedResetSummaryFromJson(const Json& value)
{
    FieldReader reader(value);
    BankedResetSummary summary;
    summary.availableCount = reader.integer("availableCount");
    summary.credits = reader.optionalList("credits", &bankedResetCreditFromJson);
    summary.pendingAvailableCount = reader.optionalInteger("pendingAvailableCount");
    summary.pendingAvailableCountObservations = reader.optionalInteger("pendingAvailableCountObservations");
    if (!reader.ok()) {
        return std::nullopt;
    }
    return summary;
}

} // namespace vantorel
