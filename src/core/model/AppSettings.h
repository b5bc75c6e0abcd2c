#pragma once

#include "core/foundation/Json.h"
#include "core/model/MenuBarGaugeLabelStyle.h"
#include "core/model/MenuBarProviderIdentityStyle.h"
#include "core/model/MenuDisplayMode.h"
#include "core/model/MonitoredProvider.h"
#include "core/model/NotificationCategory.h"
#include "core/model/NotificationChannel.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace vantorel {

// The single settings record (34 stored fields), stored as one JSON document under
// "Vantorel.settings". A default-constructed record holds every default. Callers change it by
// assigning a whole new record.
struct AppSettings
{
    static constexpr std::int64_t minimumBankedResetExpiryWarningDays = 1;
    static constexpr std::int64_t maximumBankedResetExpiryWarningDays = 30;
    static constexpr std::int64_t minimumRefreshIntervalSeconds = 60;
    static constexpr std::int64_t maximumRefreshIntervalSeconds = 86'400;

    bool launchAtLogin = true;
    bool notificationsEnabled = true;
    bool codexEnabled = true;
    bool claudeEnabled = false;
    bool claudeStatusEnabled = true;
    bool claudeUsageAutoRefreshEnabled = true;
    bool codexCLIAutoRefreshEnabled = true;
    bool apiRateAutoRefreshEnabled = false;
    QString apiRateModel = defaultApiRateModel();
    // Blank means "find the executable".
    QString codexCLIExecutablePath;
    QStringList componentNames = defaultComponentNames();
    QStringList claudeComponentNames = defaultClaudeComponentNames();
    // The master switch of all Discord delivery.
    bool discordResetNotificationsEnabled = false;
    // No value: the choice was never settled (records from before the switch existed).
    std::optional<bool> discordMentionEveryone = false;
    bool discordMentionMigratedFromLegacy = false;
    bool bankedResetExpiryNotificationsEnabled = true;
    bool menuBarCompactMode = true;
    MenuBarGaugeLabelStyle menuBarGaugeLabelStyle = MenuBarGaugeLabelStyle::period;
    bool showCodexFiveHourInMenuBar = true;
    bool showCodexWeeklyInMenuBar = true;
    bool showClaudeFiveHourInMenuBar = true;
    bool showClaudeWeeklyInMenuBar = true;
    MenuBarProviderIdentityStyle codexMenuBarIdentityStyle = MenuBarProviderIdentityStyle::icon;
    MenuBarProviderIdentityStyle claudeMenuBarIdentityStyle = MenuBarProviderIdentityStyle::icon;
    bool claudeAuthenticationAutoRecoveryEnabled = false;
    bool claudeAuthAutoOpenOnExpiry = false;
    // provider "." channel "." category (raw names, e.g. "codex.discord.lowBalance") to on/off.
    QMap<QString, bool> notificationCategoryOverrides;
    std::int64_t refreshIntervalSeconds = 300;
    bool usesSeparateRefreshIntervals = false;
    std::int64_t codexRefreshIntervalSeconds = 300;
    std::int64_t claudeRefreshIntervalSeconds = 300;
    bool backgroundMonitoringEnabled = true;
    MenuDisplayMode menuDisplayMode = MenuDisplayMode::compactUsage;

    // Days before a banked reset credit expires that the warning goes out; always within 1...30.
    std::int64_t bankedResetExpiryWarningDays() const { return m_bankedResetExpiryWarningDays; }
    // Stores the value clamped into 1...30.
    void setBankedResetExpiryWarningDays(std::int64_t days);

    // The provider's own interval while separate intervals are on, else the common one, clamped
    // to 60...86,400 s.
    std::int64_t effectiveRefreshIntervalSeconds(MonitoredProvider provider) const;

    // Whether a notification of this category goes out for the provider on the channel: the
    // provider's switch, the channel's master switch and the category's own switch must be on;
    // expiry warnings also need their switch and Claude incidents the Claude status page.
    bool isNotificationEnabled(NotificationCategory category, MonitoredProvider provider,
                               NotificationChannel channel) const;
    // The category's own switch: off when the provider does not offer the category, else the
    // stored override, else on (except service incidents on Discord, which start off).
    bool notificationCategoryEnabled(NotificationCategory category, MonitoredProvider provider,
                                     NotificationChannel channel) const;
    void setNotificationCategory(NotificationCategory category, MonitoredProvider provider,
                                 NotificationChannel channel, bool enabled);
    static QString notificationCategoryKey(NotificationCategory category, MonitoredProvider provider,
                                           NotificationChannel channel);

    static QString defaultApiRateModel();
    static QStringList defaultComponentNames();
    static QStringList defaultClaudeComponentNames();

    bool operator==(const AppSettings&) const = default;

private:
    std::int64_t m_bankedResetExpiryWarningDays = 3;
};

Json toJson(const AppSettings& settings);
// Key by key: an absent or wrongly typed key takes its default, so only a value that is not an
// object fails. A record without "discordMentionEveryone" reads as unsettled while Discord
// delivery is on, else as false. A record without a provider's own refresh interval reads it as
// the common interval, so switching separate intervals on later keeps the cadence.
std::optional<AppSettings> appSettingsFromJson(const Json& value);

} // namespace vantorel
