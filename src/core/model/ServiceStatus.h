#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"
#include "core/model/ComponentHealth.h"

#include <QString>

#include <optional>

namespace vantorel {

// One status-page component with its health; all three keys are required in JSON and "status"
// holds the health's raw string.
struct ServiceStatus
{
    QString componentName;
    ComponentHealth status = ComponentHealth::unknown;
    Date updatedAt;

    bool operator==(const ServiceStatus&) const = default;
};

Json toJson(const ServiceStatus& status);
std::optional<ServiceStatus> serviceStatusFromJson(const Json& value);

} // namespace vantorel
