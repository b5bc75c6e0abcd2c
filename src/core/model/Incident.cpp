#include "core/model/Incident.h"

#include "core/model/ModelCoding.h"

namespace vantorel {

Json toJson(const Incident& incident)
{
    Json object = Json::object();
    object["name"] = json::str(incident.name);
    object["status"] = json::str(incident.status);
    coding::putString(object, "impact", incident.impact);
    coding::putDate(object, "updatedAt", incident.updatedAt);
    return object;
}

std::optional<Incident> incidentFromJson(const Json& value)
{
    FieldReader reader(value);
    Incident incident;
    incident.name = reader.string("name");
    incident.status = reader.string("status");
    incident.impact = reader.optionalString("impact");
    incident.updatedAt = reader.optionalDate("updatedAt");
    if (!reader.ok()) {
        return std::nullopt;
    }
    return incident;
}

} // namespace vantorel
