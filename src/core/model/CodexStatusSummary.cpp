#include "core/model/CodexStatusSummary.h"

#include "core/model/ModelCoding.h"

namespace vantorel {

CodexStatusSummary CodexStatusSummary::initial(Date now)
{
    CodexStatusSummary summary;
    summary.pageIndicator = QStringLiteral("unknown");
    summary.pageDescription = QStringLiteral("未取得");
    summary.overallStatus = OverallCodexState::normal;
    summary.updatedAt = now;
    return summary;
}

Json toJson(const CodexStatusSummary& summary)
{
    Json object = Json::object();
    object["pageIndicator"] = json::str(summary.pageIndicator);
    object["pageDescription"] = json::str(summary.pageDescription);
    object["services"] = toJsonArray(summary.services);
    object["incidents"] = toJsonArray(summary.incidents);
    object["overallStatus"] = json::str(rawValue(summary.overallStatus));
    object["updatedAt"] = json::storeDateValue(summary.updatedAt);
    coding::putDate(object, "lastSuccessfulFetchAt", summary.lastSuccessfulFetchAt);
    return object;
}

std::optional<CodexStatusSummary> codexStatusSummaryFromJson(const Json& value)
{
    FieldReader reader(value);
    CodexStatusSummary summary;
    summary.pageIndicator = reader.string("pageIndicator");
    summary.pageDescription = reader.string("pageDescription");
    summary.services = reader.list("services", &serviceStatusFromJson);
    summary.incidents = reader.list("incidents", &incidentFromJson);
    summary.overallStatus = reader.enumeration("overallStatus", &overallCodexStateFromRaw, OverallCodexState::normal);
    summary.updatedAt = reader.date("updatedAt");
    summary.lastSuccessfulFetchAt = reader.optionalDate("lastSuccessfulFetchAt");
    if (!reader.ok()) {
        return std::nullopt;
    }
    return summary;
}

} // namespace vantorel
