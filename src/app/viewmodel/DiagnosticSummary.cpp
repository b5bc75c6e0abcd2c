#include "app/viewmodel/DiagnosticSummary.h"

#include "app/viewmodel/AppState.h"
#include "app/viewmodel/DerivedDisplayState.h"
#include "core/model/NotificationMessageBuilder.h"

#include <QTimeZone>

namespace vantorel {

namespace {

const QString missing = QStringLiteral("未取得");

QString percentOrMissing(const std::optional<double>& percent)
{
    return percent ? DiagnosticSummary::formatPercent(*percent) : missing;
}

QString stateText(OverallCodexState state)
{
    switch (state) {
    case OverallCodexState::degraded:
        return QStringLiteral("不安定");
    case OverallCodexState::outage:
        return QStringLiteral("障害あり");
    case OverallCodexState::fetchFailed:
        return QStringLiteral("取得失敗");
    case OverallCodexState::normal:
        break;
    }
    return QStringLiteral("正常");
}

bool hasRateNumbers(const RateLimitSnapshot& snapshot)
{
    return snapshot.requestLimit || snapshot.requestsRemaining || snapshot.tokenLimit || snapshot.tokensRemaining
        || snapshot.requestResetSeconds || snapshot.tokenResetSeconds;
}

} // namespace

QString DiagnosticSummary::formatPercent(double percent)
{
    return NotificationMessageBuilder::percentText(percent);
}

QString DiagnosticSummary::summaryDateText(const std::optional<Date>& date)
{
    if (!date)
        return missing;
    return NotificationMessageBuilder::shortDateTimeText(*date, QTimeZone::systemTimeZone());
}

QString DiagnosticSummary::statusLine(const QString& providerName, const CodexStatusSummary& summary,
                                      const std::optional<QString>& errorMessage)
{
    if (errorMessage)
        return QStringLiteral("%1 Status: 要確認 (%2)").arg(providerName, *errorMessage);
    return QStringLiteral("%1 Status: %2 / 更新 %3")
        .arg(providerName, stateText(summary.overallStatus), summaryDateText(summary.updatedAt));
}

QStringList DiagnosticSummary::usageLines(const QString& providerName, const std::optional<UsageSnapshot>& snapshot,
                                          Date now)
{
    if (!snapshot)
        return {providerName + QStringLiteral(" 使用量: 未取得")};
    const bool codex = providerName == u"Codex";
    const QString fiveHour = codex && snapshot->codexFiveHourWindowIsTemporarilyUnavailable()
        ? QStringLiteral("一時停止中（復活時に自動再開）")
        : percentOrMissing(snapshot->fiveHourRemainingPercent);
    const QString credits = snapshot->creditsRemaining && !snapshot->creditsRemaining->isEmpty()
        ? *snapshot->creditsRemaining
        : missing;
    // Pasted and manual readings carry one reset date for both windows.
    const bool generalResetApplies = snapshot->source == UsageSource::pasted || snapshot->source == UsageSource::manual;
    const auto resetOf = [&](const std::optional<Date>& window) {
        return window ? window : (generalResetApplies ? snapshot->resetAt : std::nullopt);
    };
    QStringList lines{
        QStringLiteral("%1 使用量: 5時間枠 %2 / 週間枠 %3 / クレジット %4")
            .arg(providerName, fiveHour, percentOrMissing(snapshot->weeklyRemainingPercent), credits),
        QStringLiteral("%1 リセット: 5時間枠 %2 / 週間枠 %3")
            .arg(providerName, summaryDateText(resetOf(snapshot->fiveHourResetAt)),
                 summaryDateText(resetOf(snapshot->weeklyResetAt))),
    };
    if (codex && snapshot->bankedReset) {
        QString line = QStringLiteral("Codex リセット券: 残り%1回").arg(snapshot->bankedReset->availableCount);
        if (const auto expiry = snapshot->bankedReset->nearestExpiration(now))
            line += QStringLiteral(" / 確認できた券の期限 ") + summaryDateText(expiry);
        lines.append(line);
    }
    return lines;
}

QString DiagnosticSummary::diagnosticSummaryText(const AppState& state, Date now)
{
    const AppSettings& settings = state.settings;
    QStringList lines{QStringLiteral("Vantorel サマリー"), QStringLiteral("作成: ") + summaryDateText(now)};
    if (settings.codexEnabled) {
        lines.append(statusLine(QStringLiteral("Codex"), state.statusSummary, state.lastErrorMessage));
        lines.append(usageLines(QStringLiteral("Codex"), derived::displayedCodexUsageSnapshot(state), now));
    }
    if (settings.claudeEnabled && settings.claudeStatusEnabled)
        lines.append(statusLine(QStringLiteral("Claude"), state.claudeStatusSummary, state.claudeStatusErrorMessage));
    if (settings.claudeEnabled)
        lines.append(usageLines(QStringLiteral("Claude"), derived::displayedClaudeUsageSnapshot(state), now));
    if (settings.codexEnabled && state.apiRateSnapshot && hasRateNumbers(*state.apiRateSnapshot)) {
        lines.append(QStringLiteral("OpenAI API: リクエスト %1 / トークン %2")
                         .arg(percentOrMissing(state.apiRateSnapshot->requestRemainingPercent()),
                              percentOrMissing(state.apiRateSnapshot->tokenRemainingPercent())));
    }
    if (!derived::hasEnabledProvider(state))
        lines.append(QStringLiteral("監視対象: なし"));
    if (const auto incident = derived::firstActiveIncidentName(state))
        lines.append(QStringLiteral("進行中のインシデント: ") + *incident);
    if (const QStringList errors = derived::activeErrorMessages(state); !errors.isEmpty())
        lines.append(QStringLiteral("確認事項: ") + errors.join(QStringLiteral(" / ")));
    return lines.join(u'\n');
}

} // namespace vantorel
