#pragma once

#include "app/syncui/MacSyncProviderDisplay.h"
#include "core/model/NotificationHistoryEntry.h"
#include "core/model/UsageHistoryEntry.h"

#include <QList>

#include <cstdint>

namespace vantorel {

class AppViewModel;

// Everything the companion snapshot is built from, copied by value so that building it never
// reads the view model.
struct MacSyncDisplayInput
{
    MacSyncProviderDisplay codex;
    MacSyncProviderDisplay claude;
    // The common refresh interval, unclamped.
    std::int64_t refreshIntervalSeconds = 0;
    // Samples whose periods are confirmed.
    QList<UsageHistoryEntry> usageHistory;
    QList<NotificationHistoryEntry> notificationHistory;

    bool operator==(const MacSyncDisplayInput&) const = default;

    // What the main window shows right now. GUI thread.
    static MacSyncDisplayInput capture(const AppViewModel& viewModel);
};

} // namespace vantorel
