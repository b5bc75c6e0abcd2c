#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// How a provider is identified in the menu bar: its brand icon or its name.
enum class MenuBarProviderIdentityStyle { icon, text };

inline constexpr std::array allMenuBarProviderIdentityStyles{MenuBarProviderIdentityStyle::icon, MenuBarProviderIdentityStyle::text};

QString rawValue(MenuBarProviderIdentityStyle value);
std::optional<MenuBarProviderIdentityStyle> menuBarProviderIdentityStyleFromRaw(const QString& raw);

} // namespace vantorel
