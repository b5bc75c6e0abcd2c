#include "core/model/MenuBarUsageWindow.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 2> menuBarUsageWindowNames{u"fiveHour", u"weekly"};
}

QString rawValue(MenuBarUsageWindow value)
{
    return enumnames::name(menuBarUsageWindowNames, value);
}

std::optional<MenuBarUsageWindow> menuBarUsageWindowFromRaw(const QString& raw)
{
    return enumnames::parse<MenuBarUsageWindow>(menuBarUsageWindowNames, raw);
}

} // namespace vantorel
