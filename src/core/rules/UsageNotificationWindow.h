#pragma once

#include "core/foundation/Date.h"
#include "core/model/MonitoredProvider.h"

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

struct UsageSnapshot;

// One of the two usage windows a low-balance or reset notification is about.
enum class UsageNotificationWindow { fiveHour, weekly };

inline constexpr std::array allUsageNotificationWindows{UsageNotificationWindow::fiveHour, UsageNotificationWindow::weekly};

QString rawValue(UsageNotificationWindow value);
std::optional<UsageNotificationWindow> usageNotificationWindowFromRaw(const QString& raw);

// "5時間枠" or "週間枠".
QString displayName(UsageNotificationWindow window);
// "Codex-five", "Codex-weekly", "Claude-five", "Claude-weekly": the key of the reset baselines
// and of the low-balance bookkeeping (not the raw value).
QString key(UsageNotificationWindow window, MonitoredProvider provider);
// The window's remaining percent in the reading, or none when it is not a valid reading.
std::optional<double> remainingPercent(UsageNotificationWindow window, const UsageSnapshot& snapshot);
// The window's own reset date; failing that the general one, but only for pasted and manual
// readings (the live sources report per-window dates, and their general date means another window).
std::optional<Date> resetAt(UsageNotificationWindow window, const UsageSnapshot& snapshot);

} // namespace vantorel
