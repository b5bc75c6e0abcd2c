#include "core/model/OverallCodexState.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 4> overallCodexStateNames{u"normal", u"degraded", u"outage", u"fetchFailed"};
}

QString rawValue(OverallCodexState value)
{
    return enumnames::name(overallCodexStateNames, value);
}

std::optional<OverallCodexState> overallCodexStateFromRaw(const QString& raw)
{
    return enumnames::parse<OverallCodexState>(overallCodexStateNames, raw);
}

} // namespace vantorel
