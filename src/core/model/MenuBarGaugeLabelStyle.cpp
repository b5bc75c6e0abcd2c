#include "core/model/MenuBarGaugeLabelStyle.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 2> menuBarGaugeLabelStyleNames{u"period", u"remainingPercent"};
}

QString rawValue(MenuBarGaugeLabelStyle value)
{
    return enumnames::name(menuBarGaugeLabelStyleNames, value);
}

std::optional<MenuBarGaugeLabelStyle> menuBarGaugeLabelStyleFromRaw(const QString& raw)
{
    return enumnames::parse<MenuBarGaugeLabelStyle>(menuBarGaugeLabelStyleNames, raw);
}

} // namespace vantorel
