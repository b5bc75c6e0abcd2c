#pragma once

#include "core/model/MonitoredProvider.h"

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// The provider filter of the notification history, in segment order.
enum class NotificationProviderFilter { all, codex, claude };

inline constexpr std::array allNotificationProviderFilters{
    NotificationProviderFilter::all, NotificationProviderFilter::codex, NotificationProviderFilter::claude};

// None for `all`.
inline std::optional<MonitoredProvider> provider(NotificationProviderFilter filter)
{
    switch (filter) {
    case NotificationProviderFilter::all: return std::nullopt;
    case NotificationProviderFilter::codex: return MonitoredProvider::codex;
    case NotificationProviderFilter::claude: return MonitoredProvider::claude;
    }
    return std::nullopt;
}

inline QString segmentLabel(NotificationProviderFilter filter)
{
    const auto selected = provider(filter);
    return selected ? displayName(*selected) : QStringLiteral("すべて");
}

} // namespace vantorel
