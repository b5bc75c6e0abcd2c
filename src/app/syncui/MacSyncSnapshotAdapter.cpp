#include "app/syncui/MacSyncSnapshotAdapter.h"

#include "app/syncui/MacSyncDisplayInput.h"
#include "core/foundation/UuidText.h"
#include "core/model/CodexPeriodValidation.h"
#include "core/model/HistoryRetention.h"
#include "core/model/NotificationMessageBuilder.h"
#include "core/model/ProviderPlanFormatter.h"
#include "sync/model/SyncJsonWriter.h"
#include "sync/model/SyncText.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace vantorel {

namespace {

SyncProviderID syncProviderID(MonitoredProvider provider)
{
    return provider == MonitoredProvider::codex ? SyncProviderID::codex : SyncProviderID::claude;
}

// Stored readings are not range-checked, and a date outside the years 1 to 9999 would make the
// whole snapshot fail to encode on every rebuild; such values are dropped like bad percents.
std::optional<Date> writableDate(const std::optional<Date>& date)
{
    return date && SyncJsonWriter::canWrite(*date) ? date : std::nullopt;
}

std::optional<double> publishablePercent(const std::optional<double>& percent)
{
    if (percent && std::isfinite(*percent) && *percent >= 0.0 && *percent <= 100.0) {
        return percent;
    }
    return std::nullopt;
}

// A sample keeps its percent in the compact form instead of converting it back and forth.
CompactPercent publishablePercent(CompactPercent percent)
{
    return publishablePercent(percent.toOptional()) ? percent : CompactPercent();
}

// Whole-text patterns; PCRE2 needs Unicode properties for \s to cover U+3000 and the like.
QRegularExpression wholeTextPattern(const QString& pattern,
                                    QRegularExpression::PatternOptions extra = QRegularExpression::NoPatternOption)
{
    QRegularExpression expression(pattern, QRegularExpression::UseUnicodePropertiesOption | extra);
    expression.optimize();
    return expression;
}

bool matches(const QRegularExpression& pattern, const QString& text)
{
    return pattern.match(text).hasMatch();
}

bool sameText(const QString& a, const QString& b)
{
    return SyncText::canonicallyEqual(a, b);
}

QString statusText(bool failed, const std::optional<OverallCodexState>& status, bool hasSnapshot)
{
    if (failed) {
        return QStringLiteral("取得失敗");
    }
    if (!status) {
        return hasSnapshot ? QStringLiteral("正常") : QStringLiteral("未取得");
    }
    switch (*status) {
    case OverallCodexState::normal:
        return QStringLiteral("正常");
    case OverallCodexState::degraded:
        return QStringLiteral("不安定");
    case OverallCodexState::outage:
        return QStringLiteral("障害あり");
    case OverallCodexState::fetchFailed:
        return QStringLiteral("取得失敗");
    }
    return QStringLiteral("取得失敗");
}

struct GenericNotificationText
{
    QString category;
    QString titleLabel;
    QString body;
};

GenericNotificationText genericText(NotificationHistoryCategory category)
{
    switch (category) {
    case NotificationHistoryCategory::status:
        return {QStringLiteral("status"), QStringLiteral("状態"), QStringLiteral("Macでサービスの稼働状況の変化を記録しました。")};
    case NotificationHistoryCategory::usage:
        return {QStringLiteral("usage"), QStringLiteral("残量"),
                QStringLiteral("Macで使用量に関する通知を記録しました。詳細はMacで確認してください。")};
    case NotificationHistoryCategory::reset:
        return {QStringLiteral("reset"), QStringLiteral("リセット"),
                QStringLiteral("Macで利用枠のリセットに関する通知を記録しました。詳細はMacで確認してください。")};
    case NotificationHistoryCategory::authentication:
        return {QStringLiteral("authentication"), QStringLiteral("認証"), QStringLiteral("Macで認証状態の確認が必要です。")};
    }
    return {};
}

bool isTrustedUsage(const QString& provider, const NotificationHistoryEntry& entry)
{
    static const QRegularExpression exhaustedBody =
        wholeTextPattern(QStringLiteral(R"(\A(?:5時間枠|週間枠|APIリクエスト|APIトークン)の残りが 0% です。\z)"));
    static const QRegularExpression lowBody = wholeTextPattern(
        QStringLiteral(R"(\A(?:5時間枠|週間枠|APIリクエスト|APIトークン)の残りが (?:100|[0-9]{1,2})% です。\z)"));
    if (sameText(entry.title, provider + u" 利用枠が0%になりました")) {
        return matches(exhaustedBody, entry.body);
    }
    if (sameText(entry.title, provider + u" 使用量が少なくなっています")) {
        return matches(lowBody, entry.body);
    }
    return false;
}

bool isTrustedReset(const QString& provider, const NotificationHistoryEntry& entry)
{
    static const QRegularExpression expiryBody = wholeTextPattern(QStringLiteral(
        R"(\A対象: リセット券1回分\n有効期限: [0-9]{4}/(?:0[1-9]|1[0-2])/(?:0[1-9]|[12][0-9]|3[01]) (?:[01][0-9]|2[0-3]):[0-5][0-9]\z)"));
    static const QRegularExpression grantBody = wholeTextPattern(QStringLiteral(
        R"(\A新規付与: [0-9]{1,9}回\n残り: [0-9]{1,9}回(?:\n有効期限: [0-9]{2,4}/[0-9]{1,2}/[0-9]{1,2} [0-9]{1,2}:[0-9]{2})?\z)"));
    static const QRegularExpression windowBody = wholeTextPattern(QStringLiteral(
        R"(\A(?:予定より早くリセットされました。\n)?(?:確認時点の)?次回リセット: (?:[0-9]{2,4}/[0-9]{1,2}/[0-9]{1,2} [0-9]{1,2}:[0-9]{2}|未取得（次に利用すると再表示されます）)\z)"));

    if (entry.provider == MonitoredProvider::codex) {
        if (sameText(entry.title, NotificationMessageBuilder::bankedResetExpiryTitle())
            || sameText(entry.title, QStringLiteral("Codex通知: Banked Reset（リセット券）の有効期限が近づいています"))) {
            return matches(expiryBody, entry.body);
        }
        if (sameText(entry.title, QStringLiteral("Codex通知: リセット券が付与されました"))
            || sameText(entry.title, QStringLiteral("Codex通知: Banked Reset（リセット券）が付与されました"))) {
            return matches(grantBody, entry.body);
        }
    }
    for (const QStringView window : {QStringView(u"5時間枠"), QStringView(u"週間枠")}) {
        if (sameText(entry.title, provider + u"通知: " + window + u"がリセットされました")) {
            return matches(windowBody, entry.body);
        }
    }
    return false;
}

// The rules compare dates after adding or subtracting offsets; a boundary worked out here may be
// off by the rounding of that sum, so boundaries this close to a date count as reached.
constexpr double boundaryRoundingSeconds = 0.001;

} // namespace

QString MacSyncSnapshotAdapter::genericErrorMessage()
{
    return QStringLiteral("Macで情報を取得できませんでした。Mac側の状態を確認してください。");
}

SyncProviderSnapshot MacSyncSnapshotAdapter::provider(const MacSyncProviderDisplay& display, SyncProviderID id, Date now)
{
    SyncProviderSnapshot result;
    result.id = id;
    if (!display.enabled) {
        result.enabled = false;
        result.statusText = QStringLiteral("MacでOFF");
        for (const SyncWindowKind kind : syncWindowKindAllCases) {
            result.windows.append(SyncUsageWindow{kind, SyncValueState::disabled, std::nullopt, std::nullopt});
        }
        return result;
    }

    MacSyncProviderDisplay shown = display;
    if (id == SyncProviderID::codex
        && (shown.usageFormatUnconfirmed || (shown.snapshot && !shown.snapshot->codexPeriodsAreConfirmed()))) {
        if (shown.snapshot) {
            shown.snapshot->fiveHourRemainingPercent.reset();
            shown.snapshot->weeklyRemainingPercent.reset();
            shown.snapshot->resetAt.reset();
            shown.snapshot->fiveHourResetAt.reset();
            shown.snapshot->weeklyResetAt.reset();
        }
        shown.usageFailed = true;
        shown.usageFormatUnconfirmed = true;
        shown.fiveHourPaused = false;
    }
    const bool failed = shown.usageFailed || shown.statusFailed;
    const std::optional<UsageSnapshot>& reading = shown.snapshot;

    std::optional<QString> planType;
    if (reading && reading->planType) {
        planType = reading->planType;
    } else if (!shown.usageFailed) {
        planType = shown.authenticatedPlanType;
    }
    const QString providerName = displayName(id);
    const QString badge = ProviderPlanFormatter::badgeText(providerName, planType, false);
    if (badge != providerName) {
        result.planName = badge.mid(providerName.size() + 1);
    }

    for (const SyncWindowKind kind : syncWindowKindAllCases) {
        const bool paused = id == SyncProviderID::codex && kind == SyncWindowKind::fiveHour && shown.fiveHourPaused;
        result.windows.append(window(kind, shown, paused));
    }
    if (reading) {
        result.updatedAt = writableDate(reading->updatedAt);
    }
    result.statusText = statusText(failed, shown.status, reading.has_value());
    if (shown.usageFormatUnconfirmed) {
        result.errorMessage = CodexPeriodValidation::unconfirmedMessage();
    } else if (failed) {
        result.errorMessage = genericErrorMessage();
    }
    if (reading && reading->bankedReset) {
        if (reading->bankedReset->availableCount >= 0) {
            result.bankedResetCount = reading->bankedReset->availableCount;
        }
        result.bankedResetExpiresAt = writableDate(reading->bankedReset->nearestExpiration(now));
    }
    if (reading) {
        result.creditsRemaining = safeCredits(reading->creditsRemaining);
    }
    result.enabled = true;
    return result;
}

SyncUsageWindow MacSyncSnapshotAdapter::window(SyncWindowKind kind, const MacSyncProviderDisplay& display, bool paused)
{
    const std::optional<UsageSnapshot>& reading = display.snapshot;
    if (paused && reading) {
        return SyncUsageWindow{kind, SyncValueState::temporarilyUnavailable, std::nullopt, std::nullopt};
    }
    SyncUsageWindow result;
    result.kind = kind;
    if (reading) {
        const bool fiveHour = kind == SyncWindowKind::fiveHour;
        result.remainingPercent =
            publishablePercent(fiveHour ? reading->fiveHourRemainingPercent : reading->weeklyRemainingPercent);
        std::optional<Date> resetAt = fiveHour ? reading->fiveHourResetAt : reading->weeklyResetAt;
        // A live source's general date belongs to some other window; only user-entered readings
        // mean it for both.
        if (!resetAt && (reading->source == UsageSource::pasted || reading->source == UsageSource::manual)) {
            resetAt = reading->resetAt;
        }
        result.resetAt = writableDate(resetAt);
    }
    if (display.usageFailed) {
        result.state = SyncValueState::fetchFailed;
    } else {
        result.state = result.remainingPercent ? SyncValueState::available : SyncValueState::notFetched;
    }
    return result;
}

std::optional<QString> MacSyncSnapshotAdapter::safeCredits(const std::optional<QString>& text)
{
    static const QRegularExpression amount = wholeTextPattern(
        QStringLiteral(R"(\A[¥$€£]?\s*[-+]?[0-9]+(?:[,.][0-9]+)*(?:\s*(?:credits?|クレジット|円))?\z)"),
        QRegularExpression::CaseInsensitiveOption);
    if (!text) {
        return std::nullopt;
    }
    const QString trimmed = text->trimmed();
    if (trimmed.isEmpty() || SyncText::exceedsCharacters(trimmed, maximumCreditsCharacters)) {
        return std::nullopt;
    }
    const QString lower = trimmed.toLower();
    if (lower == u"unlimited" || lower == u"無制限") {
        return QStringLiteral("無制限");
    }
    if (matches(amount, trimmed)) {
        return trimmed;
    }
    return std::nullopt;
}

QList<SyncUsageHistoryEntry> MacSyncSnapshotAdapter::usageHistory(const QList<UsageHistoryEntry>& entries, Date now)
{
    const QList<UsageHistoryEntry> pruned = HistoryRetention::prunedUsage(entries, now);
    QList<SyncUsageHistoryEntry> result;
    result.reserve(pruned.size());
    QSet<QUuid> seen;
    seen.reserve(pruned.size());
    for (const UsageHistoryEntry& entry : pruned) {
        if (!entry.periodsAreConfirmed() || !SyncJsonWriter::canWrite(entry.recordedAt) || seen.contains(entry.id)) {
            continue;
        }
        seen.insert(entry.id);
        SyncUsageHistoryEntry sample{entry.id, syncProviderID(entry.provider), entry.recordedAt};
        sample.fiveHourRemainingPercent = publishablePercent(entry.fiveHourRemainingPercent);
        sample.weeklyRemainingPercent = publishablePercent(entry.weeklyRemainingPercent);
        result.append(sample);
    }
    return result;
}

QList<SyncNotificationEntry> MacSyncSnapshotAdapter::notificationHistory(const QList<NotificationHistoryEntry>& entries,
                                                                         Date now)
{
    const Date latest = now + notificationFutureToleranceSeconds;
    // The id text is the tie-breaker; it is made once per entry rather than per comparison.
    std::vector<std::pair<QString, const NotificationHistoryEntry*>> candidates;
    candidates.reserve(entries.size());
    for (const NotificationHistoryEntry& entry : entries) {
        if (entry.createdAt <= latest && SyncJsonWriter::canWrite(entry.createdAt)) {
            candidates.emplace_back(uuidText(entry.id), &entry);
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
        if (a.second->createdAt != b.second->createdAt) {
            return a.second->createdAt > b.second->createdAt;
        }
        return a.first < b.first;
    });

    QList<SyncNotificationEntry> result;
    QSet<QUuid> seen;
    for (const auto& [idText, entry] : candidates) {
        if (result.size() == maximumNotifications) {
            break;
        }
        if (seen.contains(entry->id)) {
            continue;
        }
        seen.insert(entry->id);
        const GenericNotificationText generic = genericText(entry->category);
        SyncNotificationEntry published{entry->id, syncProviderID(entry->provider), generic.category,
                                        QString(), QString(), entry->createdAt};
        if (isTrustedNotification(*entry)) {
            published.title = entry->title;
            published.body = entry->body;
        } else {
            published.title = displayName(entry->provider) + u' ' + generic.titleLabel;
            published.body = generic.body;
        }
        result.append(std::move(published));
    }
    return result;
}

Date MacSyncSnapshotAdapter::unchangedUntil(const MacSyncDisplayInput& input, Date now)
{
    // Each rule keeps or drops a record by comparing `now` with one date per record; the result
    // is the nearest such date not before `now`. NaN boundaries never compare true and are
    // skipped, as the rules never change their answer for them.
    const double from = now.timeIntervalSinceReferenceDate() - boundaryRoundingSeconds;
    double until = std::numeric_limits<double>::infinity();
    const auto boundary = [from, &until](double date) {
        if (date >= from && date < until) {
            until = date;
        }
    };
    for (const MacSyncProviderDisplay* display : {&input.codex, &input.claude}) {
        if (!display->snapshot || !display->snapshot->bankedReset || !display->snapshot->bankedReset->credits) {
            continue;
        }
        for (const BankedResetCredit& credit : *display->snapshot->bankedReset->credits) {
            if (credit.expiresAt) {
                boundary(credit.expiresAt->timeIntervalSinceReferenceDate());
            }
        }
    }
    for (const UsageHistoryEntry& entry : input.usageHistory) {
        const double recordedAt = entry.recordedAt.timeIntervalSinceReferenceDate();
        boundary(recordedAt + HistoryRetention::usageRetentionSeconds);
        boundary(recordedAt - HistoryRetention::usageFutureToleranceSeconds);
    }
    for (const NotificationHistoryEntry& entry : input.notificationHistory) {
        boundary(entry.createdAt.timeIntervalSinceReferenceDate() - notificationFutureToleranceSeconds);
    }
    return Date::fromReferenceSeconds(std::fmax(until - boundaryRoundingSeconds, now.timeIntervalSinceReferenceDate()));
}

bool MacSyncSnapshotAdapter::isTrustedNotification(const NotificationHistoryEntry& entry)
{
    if (SyncText::exceedsCharacters(entry.title, maximumTrustedTitleCharacters)
        || SyncText::exceedsCharacters(entry.body, maximumTrustedBodyCharacters)) {
        return false;
    }
    const QString provider = displayName(entry.provider);
    switch (entry.category) {
    case NotificationHistoryCategory::status:
    case NotificationHistoryCategory::authentication:
        return false;
    case NotificationHistoryCategory::usage:
        return isTrustedUsage(provider, entry);
    case NotificationHistoryCategory::reset:
        return isTrustedReset(provider, entry);
    }
    return false;
}

} // namespace vantorel
