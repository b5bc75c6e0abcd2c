#pragma once

#include "core/model/OverallCodexState.h"
#include "core/model/UsageSnapshot.h"

#include <QString>

#include <optional>

namespace vantorel {

// One provider as the main window shows it at one moment: the value the companion snapshot is
// built from, copied out of the view model.
struct MacSyncProviderDisplay
{
    bool enabled = false;
    // The reading exactly as displayed; absent when none is displayed.
    std::optional<UsageSnapshot> snapshot;
    // Absent while the provider's status page is not watched.
    std::optional<OverallCodexState> status;
    // The window shows a usage error line.
    bool usageFailed = false;
    // The reading's window format is unconfirmed (Codex only).
    bool usageFormatUnconfirmed = false;
    // The window shows a status-fetch error.
    bool statusFailed = false;
    // The five-hour window is paused for now (Codex only).
    bool fiveHourPaused = false;
    // The plan known from the stored credential (Claude only).
    std::optional<QString> authenticatedPlanType;

    bool operator==(const MacSyncProviderDisplay&) const = default;
};

} // namespace vantorel
