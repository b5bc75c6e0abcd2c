#include "core/model/ServiceStatus.h"

#include "core/model/ModelCoding.h"

namespace vantorel {

Json toJson(const ServiceStatus& status)
{
    Json object = Json::object();
    object["componentName"] = json::str(status.componentName);
    object["status"] = json::str(rawValue(status.status));
    object["updatedAt"] = json::storeDateValue(status.updatedAt);
    return object;
}

std::optional<ServiceStatus> serviceStatusFromJson(const Json& value)
{
    FieldReader reader(value);
    ServiceStatus status;
    status.componentName = reader.string("componentName");
    status.status = reader.enumeration("status", &componentHealthFromRaw, ComponentHealth::unknown);
    status.updatedAt = reader.date("updatedAt");
    if (!reader.ok()) {
        return std::nullopt;
    }
    return status;
}

} // namespace vantorel
