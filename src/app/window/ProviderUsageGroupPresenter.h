#pragma once

#include "core/model/MenuBarUsageWindow.h"
#include "core/model/OverallCodexState.h"
#include "core/model/UsageSnapshot.h"

#include <optional>

namespace vantorel {

// What the dashboard hands one provider card.
struct ProviderUsageGroupInput
{
    QString providerName;
    std::optional<UsageSnapshot> snapshot;
    bool fiveHourWindowIsTemporarilyUnavailable = false;
    QString fallbackSourceText;
    OverallCodexState overallStatus = OverallCodexState::normal;
    // The status error, handed to the badge.
    std::optional<QString> errorMessage;
    // The usage error, or the unconfirmed-format message.
    std::optional<QString> usageErrorMessage;

    bool operator==(const ProviderUsageGroupInput&) const = default;
};

// Whether a reading holds either window's remaining share.
bool hasWindowPercent(const std::optional<UsageSnapshot>& snapshot);

// The single trailing item of a card's header.
enum class ProviderHeaderItem { formatUnconfirmed, usageFailure, usageNotFetched, statusBadge };

// The note line under a card's meters.
struct ProviderUsageNote
{
    QString text;
    QString systemName;
    bool warning = false;
    // The tooltip: the whole usage error for a warning.
    QString toolTip;

    bool operator==(const ProviderUsageNote&) const = default;
};

// The rules of a provider card; pure functions of its input.
struct ProviderUsageGroupPresenter
{
    // A usage error with an empty text counts as none.
    static bool hasUsageError(const ProviderUsageGroupInput& input);
    static bool formatUnconfirmed(const ProviderUsageGroupInput& input);
    static ProviderHeaderItem headerItem(const ProviderUsageGroupInput& input);
    // The snapshot's source label, else the fallback text.
    static QString sourceText(const ProviderUsageGroupInput& input);
    static std::optional<ProviderUsageNote> note(const ProviderUsageGroupInput& input);
    static std::optional<QString> missingUsageMessage(const std::optional<UsageSnapshot>& snapshot);
    // The window's own reset date, else the general one of a pasted or manual reading.
    static std::optional<Date> meterResetAt(const std::optional<UsageSnapshot>& snapshot, MenuBarUsageWindow window);
};

} // namespace vantorel
