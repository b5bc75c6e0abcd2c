#include "core/model/UsageGaugeColorBand.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 4> names{u"unavailable", u"critical", u"warning", u"healthy"};
}

QString rawValue(UsageGaugeColorBand value)
{
    return enumnames::name(names, value);
}

std::optional<UsageGaugeColorBand> usageGaugeColorBandFromRaw(const QString& raw)
{
    return enumnames::parse<UsageGaugeColorBand>(names, raw);
}

} // namespace vantorel
