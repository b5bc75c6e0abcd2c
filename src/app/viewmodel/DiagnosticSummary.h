#pragma once

#include "core/foundation/Date.h"
#include "core/model/CodexStatusSummary.h"
#include "core/model/UsageSnapshot.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace vantorel {

struct AppState;

// The plain-text summary the user copies to report a problem: readings, states and error texts
// of the enabled providers, never a secret. Pure; dates in the local time zone.
struct DiagnosticSummary
{
    // The lines joined with line feeds, without a final one; `now` stamps the summary and decides
    // which banked-reset credits are still to expire.
    static QString diagnosticSummaryText(const AppState& state, Date now);
    // "<provider> Status: <state> / 更新 <date>", or "要確認" with the error message.
    static QString statusLine(const QString& providerName, const CodexStatusSummary& summary,
                              const std::optional<QString>& errorMessage);
    // Remaining values, reset dates and, for Codex, the banked resets; one line without a reading.
    static QStringList usageLines(const QString& providerName, const std::optional<UsageSnapshot>& snapshot, Date now);
    // A whole percentage, halves away from zero ("72%" for 71.5).
    static QString formatPercent(double percent);
    // Japanese short date and time in the local zone; "未取得" without a date.
    static QString summaryDateText(const std::optional<Date>& date);
};

} // namespace vantorel
