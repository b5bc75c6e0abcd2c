#include "app/window/DashboardPresenter.h"
#include "app/window/ProviderUsageGroupPresenter.h"

#include "core/foundation/DateTexts.h"
#include "core/model/CodexPeriodValidation.h"
#include "core/model/NotificationMessageBuilder.h"

#include <cmath>

namespace vantorel {

namespace {

bool isPresent(const std::optional<QString>& text)
{
    return text && !text->isEmpty();
}

} // namespace

QString DashboardPresenter::sourceLabel(UsageSource source)
{
    switch (source) {
    case UsageSource::pasted:
        return QStringLiteral("貼り付け");
    case UsageSource::manual:
        return QStringLiteral("手入力");
    case UsageSource::codexCLI:
        return QStringLiteral("Codex CLI 自動取得");
    case UsageSource::claudeOAuth:
        return QStringLiteral("Claude Code 自動取得");
    }
    return QString();
}

QList<DashboardUsageValue> DashboardPresenter::values(const QString& provider, const UsageSnapshot& snapshot)
{
    QList<DashboardUsageValue> result;
    const auto add = [&](const std::optional<double>& percent, const QString& label) {
        if (percent && std::isfinite(*percent))
            result.append({provider, label, *percent, sourceLabel(snapshot.source), snapshot.updatedAt});
    };
    add(snapshot.fiveHourRemainingPercent, QStringLiteral("5時間枠"));
    add(snapshot.weeklyRemainingPercent, QStringLiteral("週間枠"));
    return result;
}

QList<DashboardUsageValue> DashboardPresenter::usageValues(const DashboardState& state)
{
    QList<DashboardUsageValue> result;
    if (state.codexSnapshot)
        result += values(QStringLiteral("Codex"), *state.codexSnapshot);
    if (state.claudeSnapshot)
        result += values(QStringLiteral("Claude"), *state.claudeSnapshot);
    if (state.settings.codexEnabled && state.apiRateSnapshot) {
        const RateLimitSnapshot& rate = *state.apiRateSnapshot;
        const auto add = [&](const std::optional<double>& percent, const QString& label) {
            if (percent && std::isfinite(*percent))
                result.append({QStringLiteral("API"), label, *percent, rate.source, rate.updatedAt});
        };
        add(rate.requestRemainingPercent(), QStringLiteral("リクエスト"));
        add(rate.tokenRemainingPercent(), QStringLiteral("トークン"));
    }
    return result;
}

std::optional<DashboardUsageValue> DashboardPresenter::lowestUsage(const DashboardState& state)
{
    std::optional<DashboardUsageValue> lowest;
    for (const DashboardUsageValue& value : usageValues(state)) {
        if (!lowest || value.value < lowest->value)
            lowest = value;
    }
    return lowest;
}

QString DashboardPresenter::usageWarningMessage(const DashboardState& state, const DashboardUsageValue& reading,
                                                const QTimeZone& zone)
{
    QStringList parts;
    for (const DashboardUsageValue& value : usageValues(state)) {
        if (value.label == reading.label && value.provider != u"API")
            parts.append(value.provider + u' ' + NotificationMessageBuilder::percentText(value.value));
    }
    const QString prefix = parts.size() >= 2 ? parts.join(QStringLiteral(" / ")) + u'。' : QString();
    return QStringLiteral("%1最小値を表示（%2・%3更新）。")
        .arg(prefix, reading.source, DateTexts::shortTimeText(reading.updatedAt, zone));
}

DashboardInsight DashboardPresenter::primaryInsight(const DashboardState& state, const QTimeZone& zone)
{
    if (!state.hasEnabledProvider)
        return {QStringLiteral("pause.circle.fill"), QStringLiteral("監視は停止中です"),
                QStringLiteral("設定でCodexまたはClaudeをONにすると、自動取得を再開します。"), DashboardTint::secondary};
    if (state.combinedOverallStatus == OverallCodexState::outage)
        return {QStringLiteral("exclamationmark.octagon.fill"), QStringLiteral("障害を確認してください"),
                state.firstActiveIncidentName.value_or(QStringLiteral("OpenAI または Claude 側で障害が検出されています。")),
                DashboardTint::red};
    if (state.combinedOverallStatus == OverallCodexState::degraded)
        return {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("一部サービスが不安定です"),
                state.firstActiveIncidentName.value_or(
                    QStringLiteral("状態ページの詳細を確認してから作業量を調整してください。")),
                DashboardTint::orange};

    // A reading whose window format is unconfirmed is explained on its card, not here.
    QStringList failedProviders;
    QString firstFailure;
    const auto collectFailure = [&](const QString& provider, const std::optional<QString>& message) {
        if (!isPresent(message) || *message == CodexPeriodValidation::unconfirmedMessage())
            return;
        if (failedProviders.isEmpty())
            firstFailure = *message;
        failedProviders.append(provider);
    };
    collectFailure(QStringLiteral("Codex"), state.codexUsageDisplayErrorMessage);
    collectFailure(QStringLiteral("Claude"), state.claudeUsageDisplayErrorMessage);
    if (!failedProviders.isEmpty())
        return {QStringLiteral("exclamationmark.triangle.fill"),
                (failedProviders.size() == 2 ? QStringLiteral("%1の使用量を\n取得できていません")
                                             : QStringLiteral("%1の使用量を取得できていません"))
                    .arg(failedProviders.join(u'・')),
                firstFailure, DashboardTint::orange};

    if (!state.activeErrorMessages.isEmpty())
        return {QStringLiteral("wifi.exclamationmark"), QStringLiteral("取得できていない情報があります"),
                state.activeErrorMessages.first(), DashboardTint::orange};

    if (const auto lowest = lowestUsage(state); lowest && lowest->value < 20) {
        const bool critical = lowest->value <= 10;
        return {critical ? QStringLiteral("battery.25") : QStringLiteral("battery.50"),
                QStringLiteral("%1 %2は残り%3")
                    .arg(lowest->provider, lowest->label, NotificationMessageBuilder::percentText(lowest->value)),
                usageWarningMessage(state, *lowest, zone), critical ? DashboardTint::red : DashboardTint::orange};
    }

    QStringList missing;
    if (state.settings.codexEnabled && !hasWindowPercent(state.codexSnapshot))
        missing.append(QStringLiteral("Codex"));
    if (state.settings.claudeEnabled && !hasWindowPercent(state.claudeSnapshot))
        missing.append(QStringLiteral("Claude"));
    if (!missing.isEmpty())
        return {QStringLiteral("questionmark.circle"), missing.join(u'・') + u"の使用量は未取得です",
                QStringLiteral("使用量の取得結果を待っています。"), DashboardTint::secondary};

    const QString limitsNote = QStringLiteral("実際の利用可否には、提供元のその他の制限も適用されます。");
    if (!usageValues(state).isEmpty())
        return {QStringLiteral("checkmark.seal.fill"), QStringLiteral("取得済みの残量に警告はありません"), limitsNote,
                DashboardTint::green};
    return {QStringLiteral("questionmark.circle"), QStringLiteral("使用量は未取得です"), limitsNote,
            DashboardTint::secondary};
}

QString DashboardPresenter::title(const DashboardState& state)
{
    return state.hasEnabledProvider ? state.activeProviderTitle + u"稼働状況" : QStringLiteral("AI監視");
}

QString DashboardPresenter::headerSubtitle(const DashboardState& state)
{
    QStringList sources;
    if (state.settings.codexEnabled)
        sources.append(state.codexSnapshot ? sourceLabel(state.codexSnapshot->source) : QStringLiteral("Codex CLI"));
    if (state.settings.claudeEnabled)
        sources.append(state.claudeSnapshot ? sourceLabel(state.claudeSnapshot->source) : QStringLiteral("Claude"));
    return sources.isEmpty() ? QStringLiteral("すべてOFF") : sources.join(QStringLiteral(" / "));
}

DashboardHealth DashboardPresenter::codexHealth(const DashboardState& state)
{
    if (!state.settings.codexEnabled)
        return {QStringLiteral("OFF"), DashboardTint::secondary};
    if (!state.settings.codexCLIAutoRefreshEnabled)
        return {QStringLiteral("ON・手動"), DashboardTint::green};
    if (state.codexUsageDisplayErrorMessage)
        return {QStringLiteral("確認が必要"), DashboardTint::orange};
    return {QStringLiteral("自動取得中"), DashboardTint::green};
}

DashboardHealth DashboardPresenter::claudeHealth(const DashboardState& state)
{
    const AppSettings& settings = state.settings;
    if (!settings.claudeEnabled)
        return {QStringLiteral("OFF"), DashboardTint::secondary};
    if ((settings.claudeStatusEnabled && state.claudeStatusErrorMessage) || state.claudeUsageDisplayErrorMessage)
        return {QStringLiteral("確認が必要"), DashboardTint::orange};
    if (settings.claudeStatusEnabled || settings.claudeUsageAutoRefreshEnabled)
        return {QStringLiteral("自動取得中"), DashboardTint::green};
    return {QStringLiteral("ON・手動"), DashboardTint::green};
}

DashboardHealth DashboardPresenter::apiKeyHealth(const DashboardState& state)
{
    return state.apiKeyIsSaved ? DashboardHealth{QStringLiteral("キーリング保存済み"), DashboardTint::green}
                               : DashboardHealth{QStringLiteral("未保存"), DashboardTint::secondary};
}

DashboardHealth DashboardPresenter::notificationHealth(const DashboardState& state)
{
    switch (state.notificationAuthorizationState) {
    case AppNotificationAuthorizationState::disabled:
        return {QStringLiteral("オフ"), DashboardTint::secondary};
    case AppNotificationAuthorizationState::checking:
        return {QStringLiteral("確認中"), DashboardTint::secondary};
    case AppNotificationAuthorizationState::notDetermined:
        return {QStringLiteral("未設定"), DashboardTint::orange};
    case AppNotificationAuthorizationState::denied:
        return {QStringLiteral("拒否"), DashboardTint::red};
    case AppNotificationAuthorizationState::authorized:
        return {QStringLiteral("許可"), DashboardTint::green};
    }
    return {};
}

bool DashboardPresenter::showsApiRateCard(const DashboardState& state)
{
    if (!state.settings.codexEnabled)
        return false;
    if (state.settings.apiRateAutoRefreshEnabled)
        return true;
    const auto& rate = state.apiRateSnapshot;
    return rate
        && (rate->requestLimit || rate->requestsRemaining || rate->tokenLimit || rate->tokensRemaining
            || rate->requestResetSeconds || rate->tokenResetSeconds);
}

QString DashboardPresenter::apiModelText(const DashboardState& state)
{
    return state.apiRateSnapshot ? state.apiRateSnapshot->model : state.settings.apiRateModel;
}

QString DashboardPresenter::bankedResetCountText(const DashboardState& state)
{
    if (!state.codexSnapshot || !state.codexSnapshot->bankedReset)
        return QStringLiteral("未取得");
    return QStringLiteral("残り%1回").arg(state.codexSnapshot->bankedReset->availableCount);
}

bool DashboardPresenter::hasBankedResetAvailable(const DashboardState& state)
{
    return state.codexSnapshot && state.codexSnapshot->bankedReset && state.codexSnapshot->bankedReset->availableCount > 0;
}

std::optional<QString> DashboardPresenter::bankedResetExpiryText(const DashboardState& state, Date now,
                                                                 const QTimeZone& zone)
{
    if (!state.codexSnapshot || !state.codexSnapshot->bankedReset)
        return std::nullopt;
    const std::optional<Date> expiry = state.codexSnapshot->bankedReset->nearestExpiration(now);
    if (!expiry)
        return std::nullopt;
    return u"確認できた券の期限 " + DateTexts::dateText(expiry, zone);
}

std::optional<QString> DashboardPresenter::activeCreditsText(const DashboardState& state)
{
    for (const auto* snapshot : {&state.codexSnapshot, &state.claudeSnapshot}) {
        if (*snapshot && isPresent((*snapshot)->creditsRemaining))
            return (*snapshot)->creditsRemaining;
    }
    return std::nullopt;
}

std::optional<DashboardStatusLine> DashboardPresenter::statusLine(const DashboardState& state)
{
    if (!state.activeErrorMessages.isEmpty())
        return DashboardStatusLine{state.activeErrorMessages.first(), true};
    if (state.firstActiveIncidentName)
        return DashboardStatusLine{*state.firstActiveIncidentName, false};
    return std::nullopt;
}

QString DashboardPresenter::autoRefreshText(const DashboardState& state)
{
    return state.autoRefreshIsEnabled ? QStringLiteral("自動取得中") : QStringLiteral("自動取得オフ");
}

QString DashboardPresenter::refreshTimesText(const DashboardState& state, const QTimeZone& zone)
{
    return QStringLiteral("次回 %1 / 最終 %2")
        .arg(DateTexts::shortTimeText(state.nextAutoRefreshAt, zone),
             DateTexts::shortTimeText(state.lastRefreshCompletedAt, zone));
}

} // namespace vantorel
