#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// The legacy menu content choice; kept in the settings, not read by the menu bar.
enum class MenuDisplayMode { compactUsage, statusOnly, fiveHourRemaining, weeklyRemaining, creditsRemaining };

inline constexpr std::array allMenuDisplayModes{MenuDisplayMode::compactUsage, MenuDisplayMode::statusOnly, MenuDisplayMode::fiveHourRemaining, MenuDisplayMode::weeklyRemaining, MenuDisplayMode::creditsRemaining};

QString rawValue(MenuDisplayMode value);
std::optional<MenuDisplayMode> menuDisplayModeFromRaw(const QString& raw);

} // namespace vantorel
