#include "core/model/ComponentHealth.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 6> componentHealthNames{u"operational", u"degraded_performance", u"partial_outage", u"major_outage", u"under_maintenance", u"unknown"};
}

QString rawValue(ComponentHealth value)
{
    return enumnames::name(componentHealthNames, value);
}

std::optional<ComponentHealth> componentHealthFromRaw(const QString& raw)
{
    return enumnames::parse<ComponentHealth>(componentHealthNames, raw);
}

} // namespace vantorel
