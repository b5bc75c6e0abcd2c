#include "app/window/ProviderUsageGroupPresenter.h"

#include "app/window/DashboardPresenter.h"
#include "core/model/CodexPeriodValidation.h"

namespace vantorel {

bool hasWindowPercent(const std::optional<UsageSnapshot>& snapshot)
{
    return snapshot && (snapshot->fiveHourRemainingPercent || snapshot->weeklyRemainingPercent);
}

bool ProviderUsageGroupPresenter::hasUsageError(const ProviderUsageGroupInput& input)
{
    return input.usageErrorMessage && !input.usageErrorMessage->isEmpty();
}

bool ProviderUsageGroupPresenter::formatUnconfirmed(const ProviderUsageGroupInput& input)
{
    return input.usageErrorMessage == CodexPeriodValidation::unconfirmedMessage();
}

ProviderHeaderItem ProviderUsageGroupPresenter::headerItem(const ProviderUsageGroupInput& input)
{
    if (formatUnconfirmed(input))
        return ProviderHeaderItem::formatUnconfirmed;
    if (hasUsageError(input))
        return ProviderHeaderItem::usageFailure;
    if (!hasWindowPercent(input.snapshot))
        return ProviderHeaderItem::usageNotFetched;
    return ProviderHeaderItem::statusBadge;
}

QString ProviderUsageGroupPresenter::sourceText(const ProviderUsageGroupInput& input)
{
    return input.snapshot ? DashboardPresenter::sourceLabel(input.snapshot->source) : input.fallbackSourceText;
}

std::optional<ProviderUsageNote> ProviderUsageGroupPresenter::note(const ProviderUsageGroupInput& input)
{
    if (hasUsageError(input)) {
        QString text;
        if (formatUnconfirmed(input))
            text = QStringLiteral("利用枠の形式を確認できません");
        else if (hasWindowPercent(input.snapshot))
            text = QStringLiteral("更新できません・最終値");
        else
            text = QStringLiteral("使用量を更新できません");
        return ProviderUsageNote{text, QStringLiteral("exclamationmark.triangle"), true, *input.usageErrorMessage};
    }
    if (input.fiveHourWindowIsTemporarilyUnavailable)
        return ProviderUsageNote{QStringLiteral("5時間枠は一時停止中です。復活時は自動で表示します。"),
                                 QStringLiteral("pause.circle"), false, QString()};
    if (const auto missing = missingUsageMessage(input.snapshot))
        return ProviderUsageNote{*missing, QStringLiteral("info.circle"), false, QString()};
    return std::nullopt;
}

std::optional<QString> ProviderUsageGroupPresenter::missingUsageMessage(const std::optional<UsageSnapshot>& snapshot)
{
    if (!snapshot)
        return QStringLiteral("使用率の更新を待っています。");
    if (!hasWindowPercent(snapshot))
        return QStringLiteral("使用率項目が応答に含まれていません。");
    if (!snapshot->fiveHourRemainingPercent)
        return QStringLiteral("5時間枠が応答に含まれていません。");
    if (!snapshot->weeklyRemainingPercent)
        return QStringLiteral("週間枠が応答に含まれていません。");
    return std::nullopt;
}

std::optional<Date> ProviderUsageGroupPresenter::meterResetAt(const std::optional<UsageSnapshot>& snapshot,
                                                              MenuBarUsageWindow window)
{
    if (!snapshot)
        return std::nullopt;
    const auto& own = window == MenuBarUsageWindow::fiveHour ? snapshot->fiveHourResetAt : snapshot->weeklyResetAt;
    if (own)
        return own;
    if (snapshot->source == UsageSource::pasted || snapshot->source == UsageSource::manual)
        return snapshot->resetAt;
    return std::nullopt;
}

} // namespace vantorel
