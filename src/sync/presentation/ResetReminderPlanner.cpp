#include "sync/presentation/ResetReminderPlanner.h"

#include "core/foundation/UuidText.h"
#include "sync/model/UsageSyncError.h"
#include "sync/model/UsageSyncSnapshot.h"

namespace vantorel {

using namespace Qt::StringLiterals;

namespace {

// Says plainly that the time comes from stored data, not from a confirmed reset.
constexpr QStringView reminderBody =
    u"このiPhoneが確認した保存情報に基づく予定です。実際のリセット完了を知らせる通知ではありません。";

} // namespace

QString ResetReminderPlanner::settingKey(SyncProviderID provider, SyncWindowKind window)
{
    return rawValue(provider) + u'.' + rawValue(window);
}

QList<ScheduledResetReminder> ResetReminderPlanner::plans(const UsageSyncSnapshot& snapshot,
                                                          const QSet<QString>& enabled,
                                                          const QHash<QString, ResetReminderLeadTime>& leadTimes,
                                                          Date now)
{
    try {
        snapshot.validate();
    } catch (const UsageSyncError&) {
        return {};
    }

    const QString hostText = uuidText(snapshot.hostID);
    QList<ScheduledResetReminder> reminders;
    for (const auto& provider : snapshot.providers) {
        if (!provider.enabled)
            continue;
        for (const auto& window : provider.windows) {
            const QString key = settingKey(provider.id, window.kind);
            if (!enabled.contains(key) || window.state != SyncValueState::available || !window.resetAt)
                continue;
            const auto leadTime = leadTimes.value(key, ResetReminderLeadTime::atReset);
            const Date resetAt = *window.resetAt;
            if (!(resetAt > now))
                continue;

            Date fireAt = resetAt;
            QString message = u"リセット予定時刻です"_s;
            const Date early = resetAt - seconds(leadTime);
            if (leadTime != ResetReminderLeadTime::atReset && early > now) {
                fireAt = early;
                message = u"リセット予定の%1です"_s.arg(title(leadTime));
            }
            reminders.append({
                .id = u"usage-reset."_s + hostText + u'.' + key,
                .date = fireAt,
                .title = u"%1の%2：%3"_s.arg(displayName(provider.id), displayName(window.kind), message),
                .body = reminderBody.toString(),
            });
        }
    }
    return reminders;
}

} // namespace vantorel
