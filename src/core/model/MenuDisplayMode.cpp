#include "core/model/MenuDisplayMode.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 5> menuDisplayModeNames{u"compactUsage", u"statusOnly", u"fiveHourRemaining", u"weeklyRemaining", u"creditsRemaining"};
}

QString rawValue(MenuDisplayMode value)
{
    return enumnames::name(menuDisplayModeNames, value);
}

std::optional<MenuDisplayMode> menuDisplayModeFromRaw(const QString& raw)
{
    return enumnames::parse<MenuDisplayMode>(menuDisplayModeNames, raw);
}

} // namespace vantorel
