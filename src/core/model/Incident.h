#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"

#include <QString>

#include <optional>

namespace vantorel {

// One status-page incident. `status` and `impact` keep the page's own words ("investigating",
// "resolved", "minor"...); an incident whose status is "resolved" in any letter case is over.
struct Incident
{
    QString name;
    QString status;
    std::optional<QString> impact;
    std::optional<Date> updatedAt;

    bool operator==(const Incident&) const = default;
};

Json toJson(const Incident& incident);
std::optional<Incident> incidentFromJson(const Json& value);

} // namespace vantorel
