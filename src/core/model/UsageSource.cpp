#include "core/model/UsageSource.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 4> usageSourceNames{u"pasted", u"manual", u"codexCLI", u"claudeOAuth"};
}

QString rawValue(UsageSource value)
{
    return enumnames::name(usageSourceNames, value);
}

std::optional<UsageSource> usageSourceFromRaw(const QString& raw)
{
    return enumnames::parse<UsageSource>(usageSourceNames, raw);
}

} // namespace vantorel
