#include "app/setup/MacInitialSetupDraft.h"

namespace vantorel {

AppSettings MacInitialSetupDraft::applying(const AppSettings& current) const
{
    AppSettings merged = current;
    const AppSettings& d = settings;
    merged.refreshIntervalSeconds = d.refreshIntervalSeconds;
    merged.usesSeparateRefreshIntervals = d.usesSeparateRefreshIntervals;
    merged.codexRefreshIntervalSeconds = d.codexRefreshIntervalSeconds;
    merged.claudeRefreshIntervalSeconds = d.claudeRefreshIntervalSeconds;
    merged.backgroundMonitoringEnabled = d.backgroundMonitoringEnabled;
    merged.launchAtLogin = d.launchAtLogin;
    merged.menuBarCompactMode = d.menuBarCompactMode;
    merged.showCodexFiveHourInMenuBar = d.showCodexFiveHourInMenuBar;
    merged.showCodexWeeklyInMenuBar = d.showCodexWeeklyInMenuBar;
    merged.showClaudeFiveHourInMenuBar = d.showClaudeFiveHourInMenuBar;
    merged.showClaudeWeeklyInMenuBar = d.showClaudeWeeklyInMenuBar;
    merged.menuBarGaugeLabelStyle = d.menuBarGaugeLabelStyle;
    merged.codexMenuBarIdentityStyle = d.codexMenuBarIdentityStyle;
    merged.claudeMenuBarIdentityStyle = d.claudeMenuBarIdentityStyle;
    merged.notificationsEnabled = d.notificationsEnabled;
    merged.codexEnabled = d.codexEnabled;
    merged.claudeEnabled = d.claudeEnabled;
    merged.claudeStatusEnabled = d.claudeStatusEnabled;
    merged.claudeUsageAutoRefreshEnabled = d.claudeUsageAutoRefreshEnabled;
    merged.codexCLIAutoRefreshEnabled = d.codexCLIAutoRefreshEnabled;
    merged.discordResetNotificationsEnabled = d.discordResetNotificationsEnabled;
    merged.claudeAuthenticationAutoRecoveryEnabled = d.claudeAuthenticationAutoRecoveryEnabled;
    merged.bankedResetExpiryNotificationsEnabled = d.bankedResetExpiryNotificationsEnabled;
    merged.setBankedResetExpiryWarningDays(d.bankedResetExpiryWarningDays());
    return merged;
}

MacInitialSetupDraft::SyncSwitches MacInitialSetupDraft::syncSwitches(bool wifiEnabled, bool cloudEnabled) const
{
    SyncSwitches switches;
    if (wifiEnabled != wifiSyncEnabled)
        switches.wifi = wifiSyncEnabled;
    if (cloudEnabled != cloudSyncEnabled)
        switches.cloud = cloudSyncEnabled;
    return switches;
}

} // namespace vantorel
