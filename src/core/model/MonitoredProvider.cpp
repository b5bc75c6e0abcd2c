#include "core/model/MonitoredProvider.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 2> monitoredProviderNames{u"codex", u"claude"};
}

QString rawValue(MonitoredProvider value)
{
    return enumnames::name(monitoredProviderNames, value);
}

std::optional<MonitoredProvider> monitoredProviderFromRaw(const QString& raw)
{
    return enumnames::parse<MonitoredProvider>(monitoredProviderNames, raw);
}

QString displayName(MonitoredProvider provider)
{
    return provider == MonitoredProvider::codex ? QStringLiteral("Codex") : QStringLiteral("Claude");
}

} // namespace vantorel
