#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"
#include "core/model/Incident.h"
#include "core/model/OverallCodexState.h"
#include "core/model/ServiceStatus.h"

#include <QList>
#include <QString>

#include <optional>

namespace vantorel {

// One provider's status-page reading (used for the Claude page as well, despite the name).
struct CodexStatusSummary
{
    QString pageIndicator;
    QString pageDescription;
    QList<ServiceStatus> services;
    QList<Incident> incidents;
    OverallCodexState overallStatus = OverallCodexState::normal;
    Date updatedAt;
    std::optional<Date> lastSuccessfulFetchAt;

    // The placeholder shown before the first fetch: indicator "unknown", description "未取得",
    // no components or incidents, state normal, stamped with `now`.
    static CodexStatusSummary initial(Date now);

    bool operator==(const CodexStatusSummary&) const = default;
};

Json toJson(const CodexStatusSummary& summary);
std::optional<CodexStatusSummary> codexStatusSummaryFromJson(const Json& value);

} // namespace vantorel
