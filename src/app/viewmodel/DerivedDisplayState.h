#pragma once

#include "core/model/OverallCodexState.h"
#include "core/model/UsageHistoryEntry.h"
#include "core/model/UsageSnapshot.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vantorel {

struct AppState;

// Values the views show that are computed from the state on every read (never cached).
namespace derived {

bool hasEnabledProvider(const AppState& state);
QString activeProviderTitle(const AppState& state);
OverallCodexState combinedOverallStatus(const AppState& state);
std::optional<UsageSnapshot> displayedCodexUsageSnapshot(const AppState& state);
std::optional<UsageSnapshot> displayedClaudeUsageSnapshot(const AppState& state);
bool isRefreshingAny(const AppState& state);
std::optional<QString> codexUsageDisplayErrorMessage(const AppState& state);
std::optional<QString> claudeUsageDisplayErrorMessage(const AppState& state);
QList<UsageHistoryEntry> confirmedUsageHistory(const AppState& state);
QStringList activeErrorMessages(const AppState& state);
std::optional<QString> firstActiveIncidentName(const AppState& state);
QString onboardingStatusText(const AppState& state);
QString initialSetupStatusText(const AppState& state);
QStringList planBadgeTexts(const AppState& state);
bool autoRefreshIsEnabled(const AppState& state);
// The Codex periods are flagged unconfirmed, or the stored Codex reading's are not confirmed.
bool codexPeriodsNeedConfirmation(const AppState& state);

} // namespace derived
} // namespace vantorel
