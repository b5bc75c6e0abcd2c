#include "app/setup/MacInitialSetupSummary.h"

#include "app/setup/MacInitialSetupDraft.h"

#include <QStringList>

#include <cstdint>

namespace vantorel {

namespace {

QString onOff(bool on)
{
    return on ? QStringLiteral("ON") : QStringLiteral("OFF");
}

QString minutes(std::int64_t seconds)
{
    return QString::number(seconds > 59 ? seconds / 60 : 1) + QStringLiteral("分");
}

QString windowPart(bool fiveHour, bool weekly)
{
    if (fiveHour && weekly)
        return QStringLiteral("5h＋1W");
    if (fiveHour)
        return QStringLiteral("5h");
    if (weekly)
        return QStringLiteral("1W");
    return QStringLiteral("枠非表示");
}

} // namespace

QString MacInitialSetupSummary::provider(const MacInitialSetupDraft& draft)
{
    const AppSettings& s = draft.settings;
    if (s.codexEnabled && s.claudeEnabled)
        return QStringLiteral("Codex・Claude");
    if (s.codexEnabled)
        return QStringLiteral("Codex");
    if (s.claudeEnabled)
        return QStringLiteral("Claude");
    return QStringLiteral("どちらもOFF");
}

QString MacInitialSetupSummary::authentication(const MacInitialSetupDraft& draft)
{
    const AppSettings& s = draft.settings;
    QStringList parts;
    if (s.codexEnabled)
        parts << QStringLiteral("Codex自動取得") + onOff(s.codexCLIAutoRefreshEnabled);
    if (s.claudeEnabled)
        parts << QStringLiteral("Claude自動復旧") + onOff(s.claudeAuthenticationAutoRecoveryEnabled);
    return parts.isEmpty() ? QStringLiteral("対象なし") : parts.join(QStringLiteral("、"));
}

QString MacInitialSetupSummary::refresh(const MacInitialSetupDraft& draft)
{
    const AppSettings& s = draft.settings;
    if (!s.usesSeparateRefreshIntervals)
        return QStringLiteral("共通 ") + minutes(s.refreshIntervalSeconds);
    return QStringLiteral("Codex %1・Claude %2")
        .arg(minutes(s.codexRefreshIntervalSeconds), minutes(s.claudeRefreshIntervalSeconds));
}

QString MacInitialSetupSummary::background(const MacInitialSetupDraft& draft)
{
    return draft.settings.backgroundMonitoringEnabled ? QStringLiteral("取得を継続") : QStringLiteral("通常の省電力動作");
}

QString MacInitialSetupSummary::notification(const MacInitialSetupDraft& draft)
{
    return QStringLiteral("デスクトップ通知 %1・Discord %2")
        .arg(onOff(draft.settings.notificationsEnabled), onOff(draft.settings.discordResetNotificationsEnabled));
}

QString MacInitialSetupSummary::sync(const MacInitialSetupDraft& draft)
{
    if (draft.wifiSyncEnabled && draft.cloudSyncEnabled)
        return QStringLiteral("Wi-Fi＋iCloud");
    if (draft.wifiSyncEnabled)
        return QStringLiteral("Wi-Fiのみ");
    if (draft.cloudSyncEnabled)
        return QStringLiteral("iCloudのみ");
    return QStringLiteral("OFF");
}

QString MacInitialSetupSummary::menuBar(const MacInitialSetupDraft& draft)
{
    const AppSettings& s = draft.settings;
    QStringList parts;
    if (s.codexEnabled)
        parts << QStringLiteral("Codex ") + windowPart(s.showCodexFiveHourInMenuBar, s.showCodexWeeklyInMenuBar);
    if (s.claudeEnabled)
        parts << QStringLiteral("Claude ") + windowPart(s.showClaudeFiveHourInMenuBar, s.showClaudeWeeklyInMenuBar);
    return parts.isEmpty() ? QStringLiteral("表示対象なし") : parts.join(QStringLiteral("・"));
}

} // namespace vantorel
