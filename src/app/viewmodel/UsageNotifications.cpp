#include "app/viewmodel/UsageNotifications.h"

#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/model/CodexPeriodValidation.h"
#include "core/model/NotificationMessageBuilder.h"
#include "core/rules/RemainingPercent.h"
#include "core/rules/ResetNotificationThrottle.h"
#include "core/rules/StatusChangeDetector.h"
#include "core/rules/UsageAlertDetector.h"
#include "core/rules/UsageNotificationWindow.h"
#include "core/rules/UsageResetDetector.h"

#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace vantorel {

namespace {

const QString fiveHourName = QStringLiteral("5時間枠");
const QString weeklyName = QStringLiteral("週間枠");

MonitoredProvider providerNamed(const QString& providerName)
{
    return providerName == QStringLiteral("Claude") ? MonitoredProvider::claude : MonitoredProvider::codex;
}

QString keySuffix(const QString& windowName)
{
    if (windowName == fiveHourName) {
        return QStringLiteral("-five");
    }
    if (windowName == weeklyName) {
        return QStringLiteral("-weekly");
    }
    if (windowName == QStringLiteral("APIリクエスト")) {
        return QStringLiteral("-api-requests");
    }
    if (windowName == QStringLiteral("APIトークン")) {
        return QStringLiteral("-api-tokens");
    }
    return QLatin1Char('-') + windowName;
}

QString levelKey(const QString& prefix, UsageAlertThreshold level)
{
    return prefix + QLatin1Char('-') + QString::number(rawValue(level));
}

// The raw field, not the validated one: a present but broken percent leaves the baseline alone.
std::optional<double> windowPercent(UsageNotificationWindow window, const UsageSnapshot& snapshot)
{
    return window == UsageNotificationWindow::fiveHour ? snapshot.fiveHourRemainingPercent
                                                       : snapshot.weeklyRemainingPercent;
}

QString dateText(Date date)
{
    return NotificationMessageBuilder::shortDateTimeText(date, QTimeZone::systemTimeZone());
}

void appendOnce(QStringList& keys, const QString& key)
{
    if (!keys.contains(key)) {
        keys.append(key);
    }
}

Json dateMapJson(const QMap<QString, Date>& dates)
{
    Json object = Json::object();
    for (auto it = dates.cbegin(); it != dates.cend(); ++it) {
        object[json::str(it.key())] = json::storeDateValue(it.value());
    }
    return object;
}

} // namespace

UsageNotifications::UsageNotifications(AppViewModel& viewModel)
    : m_viewModel(viewModel)
{
}

std::optional<QString> UsageNotifications::wholeUnixSeconds(Date date)
{
    const double seconds = std::trunc(date.timeIntervalSince1970());
    // Beyond this an integer conversion would be undefined; no real reset date gets near it.
    if (!std::isfinite(seconds) || std::fabs(seconds) > 9e15) {
        return std::nullopt;
    }
    return QString::number(static_cast<std::int64_t>(seconds));
}

void UsageNotifications::evaluateStatusNotifications(const CodexStatusSummary& summary,
                                                     const QMap<QString, ComponentHealth>& previousStatuses,
                                                     const QString& providerName)
{
    const Date now = m_viewModel.notificationNow();
    m_viewModel.revalidatePendingDiscordNotifications(now);
    m_viewModel.scheduleDiscordOutboxWorker(now);

    const MonitoredProvider provider = providerNamed(providerName);
    const AppSettings& settings = m_viewModel.settings();
    const bool localEnabled = settings.isNotificationEnabled(NotificationCategory::serviceIncidents, provider,
                                                             NotificationChannel::local);
    const bool discordEnabled = settings.isNotificationEnabled(NotificationCategory::serviceIncidents, provider,
                                                               NotificationChannel::discord);
    if (!localEnabled && !discordEnabled) {
        return;
    }
    QHash<QString, ComponentHealth> previous;
    for (auto it = previousStatuses.cbegin(); it != previousStatuses.cend(); ++it) {
        previous.insert(it.key(), it.value());
    }
    const auto notification = StatusChangeDetector::notification(providerName, previous, summary.services);
    if (!notification) {
        return;
    }
    QList<ServiceStatus> worsened;
    for (const ServiceStatus& service : summary.services) {
        if (StatusChangeDetector::notification(providerName, previous, {service})) {
            worsened.append(service);
        }
    }
    QList<ServiceStatus> sorted = worsened;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.componentName < b.componentName; });
    QStringList pieces;
    for (const ServiceStatus& service : sorted) {
        pieces.append(service.componentName + QLatin1Char(':') + rawValue(service.status) + QLatin1Char(':')
                      + swiftDoubleDescription(service.updatedAt.timeIntervalSince1970()));
    }
    const QString id = QStringLiteral("incident-") + rawValue(provider) + QLatin1Char('-') + pieces.join(QLatin1Char('|'));
    const QUuid historyID = QUuid::createUuid();
    const bool queued = m_viewModel.enqueueDiscordNotification(
        id, notification->title + QLatin1Char('\n') + notification->body, now, std::nullopt,
        DiscordNotificationEvent::ServiceIncident{provider, worsened, summary.updatedAt}, historyID);
    m_viewModel.recordObservedNotification(historyID, provider, NotificationHistoryCategory::status, notification->title,
                                           notification->body, localEnabled,
                                           queued ? m_viewModel.discordStatus(id, historyID)
                                                  : NotificationDeliveryStatus::disabled);
}

void UsageNotifications::evaluateRateNotifications(const RateLimitSnapshot& snapshot)
{
    const Date now = m_viewModel.notificationNow();
    const QString codex = QStringLiteral("Codex");
    checkUsageThreshold(codex, QStringLiteral("APIリクエスト"), snapshot.requestRemainingPercent(), std::nullopt,
                        std::nullopt, false, now);
    checkUsageThreshold(codex, QStringLiteral("APIトークン"), snapshot.tokenRemainingPercent(), std::nullopt,
                        std::nullopt, false, now);
}

void UsageNotifications::evaluateUsageNotifications(const UsageSnapshot& snapshot, const QString& providerName)
{
    std::optional<std::int64_t> count;
    if (providerName == QStringLiteral("Codex") && snapshot.bankedReset) {
        count = snapshot.bankedReset->availableCount;
    }
    checkUsageThreshold(providerName, fiveHourName, snapshot.fiveHourRemainingPercent,
                        resetAt(UsageNotificationWindow::fiveHour, snapshot), count, true, snapshot.updatedAt);
    checkUsageThreshold(providerName, weeklyName, snapshot.weeklyRemainingPercent,
                        resetAt(UsageNotificationWindow::weekly, snapshot), count, true, snapshot.updatedAt);
}

void UsageNotifications::checkUsageThreshold(const QString& providerName, const QString& name,
                                             std::optional<double> value, std::optional<Date> resetAt,
                                             std::optional<std::int64_t> bankedResetCount,
                                             bool sendsDiscordCriticalAlert, Date observedAt)
{
    if (!remainingPercentReading(value)) {
        return;
    }
    const double percent = *value;
    const QString prefix = providerName + keySuffix(name);
    if (percent >= UsageAlertDetector::rearmFrom) {
        rearmUsageNotifications(prefix);
        return;
    }
    const QStringList& local = m_viewModel.state().sentUsageNotifications;
    const QStringList& discord = m_viewModel.state().sentDiscordUsageNotifications;
    QList<UsageAlertThreshold> sent;
    if (local.contains(levelKey(prefix, UsageAlertThreshold::warning))) {
        sent.append(UsageAlertThreshold::warning);
    }
    const QString criticalKey = levelKey(prefix, UsageAlertThreshold::critical);
    if (local.contains(criticalKey) || discord.contains(criticalKey)) {
        sent.append(UsageAlertThreshold::critical);
    }
    if (local.contains(levelKey(prefix, UsageAlertThreshold::exhausted))) {
        sent.append(UsageAlertThreshold::exhausted);
    }
    const auto level = UsageAlertDetector::threshold(percent);
    if (!level) {
        return;
    }
    const QString title = NotificationMessageBuilder::lowBalanceTitle(providerName, *level);
    const QString percentText = NotificationMessageBuilder::percentText(percent);
    const QString body = NotificationMessageBuilder::lowBalanceBody(name, percentText);
    const QUuid historyID = QUuid::createUuid();
    const MonitoredProvider provider = providerNamed(providerName);
    const AppSettings& settings = m_viewModel.settings();
    const bool localOnly = *level == UsageAlertThreshold::warning || !sendsDiscordCriticalAlert;
    // A balance about to run out must not slip by unseen.
    const auto urgency = *level == UsageAlertThreshold::warning ? LocalNotificationRequest::Urgency::normal
                                                                : LocalNotificationRequest::Urgency::critical;

    bool recordedLocally = false;
    if (settings.isNotificationEnabled(NotificationCategory::lowBalance, provider, NotificationChannel::local)) {
        if (const auto unsent = UsageAlertDetector::unsentThreshold(percent, sent)) {
            appendOnce(m_viewModel.mutableState().sentUsageNotifications, levelKey(prefix, *unsent));
            persistUsageNotificationKeys();
            m_viewModel.recordObservedNotification(historyID, provider, NotificationHistoryCategory::usage, title, body,
                                                   true,
                                                   localOnly ? NotificationDeliveryStatus::notApplicable
                                                             : NotificationDeliveryStatus::disabled,
                                                   urgency);
            recordedLocally = true;
            if (localOnly) {
                return;
            }
        }
    }
    if (localOnly
        || !settings.isNotificationEnabled(NotificationCategory::lowBalance, provider, NotificationChannel::discord)) {
        return;
    }
    const QString exhaustedKey = levelKey(prefix, UsageAlertThreshold::exhausted);
    const QString discordKey = *level == UsageAlertThreshold::exhausted ? exhaustedKey : criticalKey;
    if (discord.contains(exhaustedKey) || discord.contains(discordKey)) {
        return;
    }
    const QString message = NotificationMessageBuilder::criticalUsage(
        providerName, name, percentText, resetAt ? dateText(*resetAt) : QStringLiteral("未取得"), bankedResetCount,
        *level);
    const QString id = QStringLiteral("usage-") + discordKey + QLatin1Char('-')
        + (resetAt ? wholeUnixSeconds(*resetAt).value_or(QStringLiteral("unknown")) : QStringLiteral("unknown"));
    const DiscordNotificationEvent::LowBalance event{
        provider, name == fiveHourName ? UsageNotificationWindow::fiveHour : UsageNotificationWindow::weekly, *level,
        resetAt, observedAt};
    if (!m_viewModel.enqueueDiscordNotification(id, message, m_viewModel.notificationNow(), std::nullopt, event,
                                                historyID)) {
        return;
    }
    const NotificationDeliveryStatus status = m_viewModel.discordStatus(id, historyID);
    if (!recordedLocally) {
        m_viewModel.recordObservedNotification(historyID, provider, NotificationHistoryCategory::usage, title, body,
                                               false, status);
    } else {
        // The record keyed by this history id takes the queue's answer.
        PendingDiscordNotification record;
        record.id = id;
        record.generation = historyID;
        m_viewModel.updateDiscordEvidence(record, status, std::nullopt);
    }
    appendOnce(m_viewModel.mutableState().sentDiscordUsageNotifications, discordKey);
    m_viewModel.persistDiscordUsageNotificationKeys();
    m_viewModel.log(QStringLiteral("usageAlert.discordQueued provider=") + providerName + QStringLiteral(" window=") + name
                    + QStringLiteral(" remaining=") + percentText);
}

void UsageNotifications::rearmUsageNotifications(const QString& prefix)
{
    AppState& state = m_viewModel.mutableState();
    qsizetype removedLocal = 0;
    qsizetype removedDiscord = 0;
    for (const UsageAlertThreshold level :
         {UsageAlertThreshold::warning, UsageAlertThreshold::critical, UsageAlertThreshold::exhausted}) {
        removedLocal += state.sentUsageNotifications.removeAll(levelKey(prefix, level));
        if (level != UsageAlertThreshold::warning) {
            removedDiscord += state.sentDiscordUsageNotifications.removeAll(levelKey(prefix, level));
        }
    }
    if (removedLocal > 0) {
        persistUsageNotificationKeys();
    }
    if (removedDiscord > 0) {
        m_viewModel.persistDiscordUsageNotificationKeys();
    }
}

void UsageNotifications::persistUsageNotificationKeys()
{
    QStringList& keys = m_viewModel.mutableState().sentUsageNotifications;
    if (keys.size() > maximumUsageKeys) {
        keys = keys.mid(keys.size() - maximumUsageKeys);
    }
    m_viewModel.defaults().set(StoredState::Keys::usageNotifications, keys);
}

void UsageNotifications::evaluateResetNotifications(const QString& providerName,
                                                    const std::optional<UsageSnapshot>& previous,
                                                    const UsageSnapshot& current)
{
    const MonitoredProvider provider = providerNamed(providerName);
    for (const UsageNotificationWindow window : allUsageNotificationWindows) {
        const QString windowKey = key(window, provider);
        auto& baselines = m_viewModel.mutableState().usageResetBaselines;
        if (provider == MonitoredProvider::codex && !windowPercent(window, current)) {
            baselines.remove(windowKey);
            storeBaselines();
            continue;
        }
        UsageResetBaseline baseline = baselines.value(windowKey);
        if (!baselines.contains(windowKey) && previous) {
            baseline = UsageResetBaseline{.resetAt = vantorel::resetAt(window, *previous),
                                          .remainingPercent = windowPercent(window, *previous)};
        }
        const std::optional<Date> previousResetAt = baseline.resetAt;
        const std::optional<Date> currentResetAt = vantorel::resetAt(window, current);
        const auto reason = UsageResetDetector::observe(baseline, currentResetAt, windowPercent(window, current),
                                                        current.updatedAt);
        if (provider == MonitoredProvider::codex) {
            baseline.codexPeriodValidationVersion = CodexPeriodValidation::currentVersion;
        }
        baselines.insert(windowKey, baseline);
        storeBaselines();
        if (reason) {
            rearmUsageNotifications(windowKey);
            checkResetNotification(providerName, displayName(window), previousResetAt, currentResetAt, *reason,
                                   current.updatedAt);
        }
    }
}

void UsageNotifications::checkResetNotification(const QString& providerName, const QString& windowName,
                                                std::optional<Date> previousResetAt, std::optional<Date> currentResetAt,
                                                UsageResetDetectionReason detectionReason, Date observedAt)
{
    const std::optional<QString> previousPart = previousResetAt ? wholeUnixSeconds(*previousResetAt) : std::nullopt;
    if (!previousPart) {
        return;
    }
    const Date now = m_viewModel.notificationNow();
    const MonitoredProvider provider = providerNamed(providerName);
    const AppSettings& settings = m_viewModel.settings();
    const bool localEnabled = settings.isNotificationEnabled(NotificationCategory::actualReset, provider,
                                                             NotificationChannel::local);
    if (!localEnabled
        && !settings.isNotificationEnabled(NotificationCategory::actualReset, provider, NotificationChannel::discord)) {
        return;
    }
    const std::optional<QString> currentPart = currentResetAt ? wholeUnixSeconds(*currentResetAt) : std::nullopt;
    if (!currentPart && detectionReason == UsageResetDetectionReason::scheduledTimePassed) {
        const double limit = windowName == weeklyName ? staleWeeklyResetSeconds : staleResetSeconds;
        if (now - *previousResetAt > limit) {
            return;
        }
    }
    const QString eventKey = QStringList{providerName, windowName, *previousPart, rawValue(detectionReason),
                                         currentPart.value_or(QStringLiteral("cleared"))}
                                 .join(QLatin1Char('-'));
    AppState& state = m_viewModel.mutableState();
    if (state.sentResetNotificationKeys.contains(eventKey)) {
        return;
    }
    const QString throttleKey = providerName + QLatin1Char('-') + windowName;
    const auto lastSent = state.lastResetNotificationDates.constFind(throttleKey);
    if (lastSent != state.lastResetNotificationDates.cend()
        && !ResetNotificationThrottle::canSend(*lastSent, now, ResetNotificationThrottle::cooldown(windowName))) {
        m_viewModel.log(QStringLiteral("usageReset.suppressed provider=") + providerName + QStringLiteral(" window=")
                        + windowName + QStringLiteral(" reason=cooldown"));
        return;
    }

    const QString title = NotificationMessageBuilder::resetTitle(providerName, windowName);
    const QString body = NotificationMessageBuilder::resetBody(
        isEarly(detectionReason), currentPart ? std::optional<QString>(dateText(*currentResetAt)) : std::nullopt);
    const QUuid historyID = QUuid::createUuid();
    const bool queued = m_viewModel.enqueueDiscordNotification(eventKey, title + QLatin1Char('\n') + body, now,
                                                               std::nullopt,
                                                               DiscordNotificationEvent::ActualReset{provider, observedAt},
                                                               historyID);
    state.sentResetNotificationKeys.insert(eventKey);
    m_viewModel.defaults().set(StoredState::Keys::resetNotifications, state.sentResetNotificationKeys.entries());
    state.lastResetNotificationDates.insert(throttleKey, now);
    m_viewModel.storedState().setJson(dateMapJson(state.lastResetNotificationDates),
                                      StoredState::Keys::lastResetNotificationDates);
    m_viewModel.recordObservedNotification(historyID, provider, NotificationHistoryCategory::reset, title, body,
                                           localEnabled,
                                           queued ? m_viewModel.discordStatus(eventKey, historyID)
                                                  : NotificationDeliveryStatus::disabled);
    m_viewModel.log(QStringLiteral("usageReset.detected provider=") + providerName + QStringLiteral(" window=")
                    + windowName + QStringLiteral(" reason=") + rawValue(detectionReason));
}

void UsageNotifications::storeBaselines()
{
    m_viewModel.storedState().setCodable(m_viewModel.state().usageResetBaselines, StoredState::Keys::usageResetBaselines);
}

} // namespace vantorel
