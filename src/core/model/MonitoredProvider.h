#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// The two monitored services; the key of every per-provider map.
enum class MonitoredProvider { codex, claude };

inline constexpr std::array allMonitoredProviders{MonitoredProvider::codex, MonitoredProvider::claude};

QString rawValue(MonitoredProvider value);
std::optional<MonitoredProvider> monitoredProviderFromRaw(const QString& raw);
// "Codex" or "Claude": the name used in texts, keys and log lines.
QString displayName(MonitoredProvider provider);

} // namespace vantorel
