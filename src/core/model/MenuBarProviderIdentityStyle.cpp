#include "core/model/MenuBarProviderIdentityStyle.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 2> menuBarProviderIdentityStyleNames{u"icon", u"text"};
}

QString rawValue(MenuBarProviderIdentityStyle value)
{
    return enumnames::name(menuBarProviderIdentityStyleNames, value);
}

std::optional<MenuBarProviderIdentityStyle> menuBarProviderIdentityStyleFromRaw(const QString& raw)
{
    return enumnames::parse<MenuBarProviderIdentityStyle>(menuBarProviderIdentityStyleNames, raw);
}

} // namespace vantorel
