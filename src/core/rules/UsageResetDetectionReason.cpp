#include "core/rules/UsageResetDetectionReason.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 3> usageResetDetectionReasonNames{u"scheduledTimePassed", u"earlyResetDateAdvanced", u"earlyRemainingRecovered"};
}

QString rawValue(UsageResetDetectionReason value)
{
    return enumnames::name(usageResetDetectionReasonNames, value);
}

std::optional<UsageResetDetectionReason> usageResetDetectionReasonFromRaw(const QString& raw)
{
    return enumnames::parse<UsageResetDetectionReason>(usageResetDetectionReasonNames, raw);
}

} // namespace vantorel
