#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// The health of one status-page component, with the status page's own raw strings.
enum class ComponentHealth { operational, degradedPerformance, partialOutage, majorOutage, underMaintenance, unknown };

inline constexpr std::array allComponentHealths{ComponentHealth::operational, ComponentHealth::degradedPerformance, ComponentHealth::partialOutage, ComponentHealth::majorOutage, ComponentHealth::underMaintenance, ComponentHealth::unknown};

QString rawValue(ComponentHealth value);
std::optional<ComponentHealth> componentHealthFromRaw(const QString& raw);

} // namespace vantorel
