#include "core/model/MenuBarProviderIdentityStyle.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 2> names{u"icon", u"text"};
}

QString rawValue(MenuBarProviderIdentityStyle value)
{
    return enumnames::name(names, value);
}

std::optional<MenuBarProviderIdentityStyle> menuBarProviderIdentityStyleFromRaw(const QString& raw)
{
    return enumnames::parse<MenuBarProviderIdentityStyle>(names, raw);
}

} // namespace vantorel
