#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// Rings only, or rings with the remaining percentage beside them.
enum class MenuBarGaugeLabelStyle { period, remainingPercent };

inline constexpr std::array allMenuBarGaugeLabelStyles{MenuBarGaugeLabelStyle::period, MenuBarGaugeLabelStyle::remainingPercent};

QString rawValue(MenuBarGaugeLabelStyle value);
std::optional<MenuBarGaugeLabelStyle> menuBarGaugeLabelStyleFromRaw(const QString& raw);

} // namespace vantorel
