#include "core/model/UsageGaugeColorBand.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 4> usageGaugeColorBandNames{u"unavailable", u"critical", u"warning", u"healthy"};
}

QString rawValue(UsageGaugeColorBand value)
{
    return enumnames::name(usageGaugeColorBandNames, value);
}

std::optional<UsageGaugeColorBand> usageGaugeColorBandFromRaw(const QString& raw)
{
    return enumnames::parse<UsageGaugeColorBand>(usageGaugeColorBandNames, raw);
}

} // namespace vantorel
