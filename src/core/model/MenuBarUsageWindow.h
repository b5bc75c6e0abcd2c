#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// The usage window a menu-bar gauge shows.
enum class MenuBarUsageWindow { fiveHour, weekly };

inline constexpr std::array allMenuBarUsageWindows{MenuBarUsageWindow::fiveHour, MenuBarUsageWindow::weekly};

QString rawValue(MenuBarUsageWindow value);
std::optional<MenuBarUsageWindow> menuBarUsageWindowFromRaw(const QString& raw);

} // namespace vantorel
