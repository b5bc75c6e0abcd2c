#include "core/model/AppSettings.h"

#include <algorithm>

namespace vantorel {

void AppSettings::setBankedResetExpiryWarningDays(std::int64_t days)
{
    m_bankedResetExpiryWarningDays
        = std::clamp(days, minimumBankedResetExpiryWarningDays, maximumBankedResetExpiryWarningDays);
}

std::int64_t AppSettings::effectiveRefreshIntervalSeconds(MonitoredProvider provider) const
{
    std::int64_t interval = refreshIntervalSeconds;
    if (usesSeparateRefreshIntervals) {
        interval = provider == MonitoredProvider::codex ? codexRefreshIntervalSeconds : claudeRefreshIntervalSeconds;
    }
    return std::clamp(interval, minimumRefreshIntervalSeconds, maximumRefreshIntervalSeconds);
}

bool AppSettings::isNotificationEnabled(NotificationCategory category, MonitoredProvider provider,
                                        NotificationChannel channel) const
{
    const bool providerOn = provider == MonitoredProvider::codex ? codexEnabled : claudeEnabled;
    const bool channelOn = channel == NotificationChannel::local ? notificationsEnabled
                                                                  : discordResetNotificationsEnabled;
    if (!providerOn || !channelOn || !notificationCategoryEnabled(category, provider, channel)) {
        return false;
    }
    if (category == NotificationCategory::couponExpiry) {
        return bankedResetExpiryNotificationsEnabled;
    }
    if (category == NotificationCategory::serviceIncidents && provider == MonitoredProvider::claude) {
        return claudeStatusEnabled;
    }
    return true;
}

bool AppSettings::notificationCategoryEnabled(NotificationCategory category, MonitoredProvider provider,
                                              NotificationChannel channel) const
{
    if (!availableNotificationCategories(provider).contains(category)) {
        return false;
    }
    const auto found = notificationCategoryOverrides.constFind(notificationCategoryKey(category, provider, channel));
    if (found != notificationCategoryOverrides.constEnd()) {
        return found.value();
    }
    return !(category == NotificationCategory::serviceIncidents && channel == NotificationChannel::discord);
}

void AppSettings::setNotificationCategory(NotificationCategory category, MonitoredProvider provider,
                                          NotificationChannel channel, bool enabled)
{
    notificationCategoryOverrides.insert(notificationCategoryKey(category, provider, channel), enabled);
}

QString AppSettings::notificationCategoryKey(NotificationCategory category, MonitoredProvider provider,
                                             NotificationChannel channel)
{
    return rawValue(provider) + u'.' + rawValue(channel) + u'.' + rawValue(category);
}

QString AppSettings::defaultApiRateModel()
{
    return QStringLiteral("gpt-5-codex");
}

QStringList AppSettings::defaultComponentNames()
{
    return {QStringLiteral("Codex")};
}

QStringList AppSettings::defaultClaudeComponentNames()
{
    return {QStringLiteral("Claude Code"), QStringLiteral("Claude API (api.anthropic.com)")};
}

namespace {

Json stringArray(const QStringList& list)
{
    Json array = Json::array();
    for (const QString& item : list) {
        array.push_back(json::str(item));
    }
    return array;
}

// Lenient per key: the caller's default stays when the key is absent or of another type.
class LenientReader
{
public:
    explicit LenientReader(const Json& object)
        : m_object(object)
    {
    }

    void read(std::string_view key, bool& field) const
    {
        if (const auto value = json::boolean(m_object, key)) {
            field = *value;
        }
    }

    void read(std::string_view key, std::int64_t& field) const
    {
        if (const auto value = json::integer(m_object, key)) {
            field = *value;
        }
    }

    void read(std::string_view key, QString& field) const
    {
        if (const auto value = json::string(m_object, key)) {
            field = *value;
        }
    }

    // An array keeps its text elements; anything else in it is skipped.
    void read(std::string_view key, QStringList& field) const
    {
        const Json* value = json::member(m_object, key);
        if (!value || !value->is_array()) {
            return;
        }
        QStringList names;
        for (const Json& element : *value) {
            if (element.is_string()) {
                names.append(json::qstr(element.get<std::string>()));
            }
        }
        field = names;
    }

    // An object keeps its Boolean entries; anything else in it is skipped.
    void read(std::string_view key, QMap<QString, bool>& field) const
    {
        const Json* value = json::member(m_object, key);
        if (!value || !value->is_object()) {
            return;
        }
        QMap<QString, bool> map;
        for (const auto& [name, element] : value->items()) {
            if (element.is_boolean()) {
                map.insert(json::qstr(name), element.get<bool>());
            }
        }
        field = map;
    }

    template <typename E>
    void read(std::string_view key, E& field, std::optional<E> (*fromRaw)(const QString&)) const
    {
        if (const auto raw = json::string(m_object, key)) {
            if (const auto value = fromRaw(*raw)) {
                field = *value;
            }
        }
    }

    std::optional<bool> optionalBoolean(std::string_view key) const { return json::boolean(m_object, key); }

private:
    const Json& m_object;
};

} // namespace

Json toJson(const AppSettings& settings)
{
    Json object = Json::object();
    object["launchAtLogin"] = settings.launchAtLogin;
    object["notificationsEnabled"] = settings.notificationsEnabled;
    object["codexEnabled"] = settings.codexEnabled;
    object["claudeEnabled"] = settings.claudeEnabled;
    object["claudeStatusEnabled"] = settings.claudeStatusEnabled;
    object["claudeUsageAutoRefreshEnabled"] = settings.claudeUsageAutoRefreshEnabled;
    object["codexCLIAutoRefreshEnabled"] = settings.codexCLIAutoRefreshEnabled;
    object["apiRateAutoRefreshEnabled"] = settings.apiRateAutoRefreshEnabled;
    object["apiRateModel"] = json::str(settings.apiRateModel);
    object["codexCLIExecutablePath"] = json::str(settings.codexCLIExecutablePath);
    object["componentNames"] = stringArray(settings.componentNames);
    object["claudeComponentNames"] = stringArray(settings.claudeComponentNames);
    object["discordResetNotificationsEnabled"] = settings.discordResetNotificationsEnabled;
    if (settings.discordMentionEveryone) {
        object["discordMentionEveryone"] = *settings.discordMentionEveryone;
    }
    object["discordMentionMigratedFromLegacy"] = settings.discordMentionMigratedFromLegacy;
    object["bankedResetExpiryNotificationsEnabled"] = settings.bankedResetExpiryNotificationsEnabled;
    object["bankedResetExpiryWarningDays"] = settings.bankedResetExpiryWarningDays();
    object["menuBarCompactMode"] = settings.menuBarCompactMode;
    object["menuBarGaugeLabelStyle"] = json::str(rawValue(settings.menuBarGaugeLabelStyle));
    object["showCodexFiveHourInMenuBar"] = settings.showCodexFiveHourInMenuBar;
    object["showCodexWeeklyInMenuBar"] = settings.showCodexWeeklyInMenuBar;
    object["showClaudeFiveHourInMenuBar"] = settings.showClaudeFiveHourInMenuBar;
    object["showClaudeWeeklyInMenuBar"] = settings.showClaudeWeeklyInMenuBar;
    object["codexMenuBarIdentityStyle"] = json::str(rawValue(settings.codexMenuBarIdentityStyle));
    object["claudeMenuBarIdentityStyle"] = json::str(rawValue(settings.claudeMenuBarIdentityStyle));
    object["claudeAuthenticationAutoRecoveryEnabled"] = settings.claudeAuthenticationAutoRecoveryEnabled;
    object["claudeAuthAutoOpenOnExpiry"] = settings.claudeAuthAutoOpenOnExpiry;
    Json overrides = Json::object();
    for (auto it = settings.notificationCategoryOverrides.cbegin(); it != settings.notificationCategoryOverrides.cend(); ++it) {
        overrides[json::str(it.key())] = it.value();
    }
    object["notificationCategoryOverrides"] = overrides;
    object["refreshIntervalSeconds"] = settings.refreshIntervalSeconds;
    object["usesSeparateRefreshIntervals"] = settings.usesSeparateRefreshIntervals;
    object["codexRefreshIntervalSeconds"] = settings.codexRefreshIntervalSeconds;
    object["claudeRefreshIntervalSeconds"] = settings.claudeRefreshIntervalSeconds;
    object["backgroundMonitoringEnabled"] = settings.backgroundMonitoringEnabled;
    object["menuDisplayMode"] = json::str(rawValue(settings.menuDisplayMode));
    return object;
}

std::optional<AppSettings> appSettingsFromJson(const Json& value)
{
    if (!value.is_object()) {
        return std::nullopt;
    }
    const LenientReader reader(value);
    AppSettings settings;
    reader.read("launchAtLogin", settings.launchAtLogin);
    reader.read("notificationsEnabled", settings.notificationsEnabled);
    reader.read("codexEnabled", settings.codexEnabled);
    reader.read("claudeEnabled", settings.claudeEnabled);
    reader.read("claudeStatusEnabled", settings.claudeStatusEnabled);
    reader.read("claudeUsageAutoRefreshEnabled", settings.claudeUsageAutoRefreshEnabled);
    reader.read("codexCLIAutoRefreshEnabled", settings.codexCLIAutoRefreshEnabled);
    reader.read("apiRateAutoRefreshEnabled", settings.apiRateAutoRefreshEnabled);
    reader.read("apiRateModel", settings.apiRateModel);
    reader.read("codexCLIExecutablePath", settings.codexCLIExecutablePath);
    reader.read("componentNames", settings.componentNames);
    reader.read("claudeComponentNames", settings.claudeComponentNames);
    reader.read("discordResetNotificationsEnabled", settings.discordResetNotificationsEnabled);
    settings.discordMentionEveryone = reader.optionalBoolean("discordMentionEveryone");
    if (!settings.discordMentionEveryone && !settings.discordResetNotificationsEnabled) {
        settings.discordMentionEveryone = false;
    }
    reader.read("discordMentionMigratedFromLegacy", settings.discordMentionMigratedFromLegacy);
    reader.read("bankedResetExpiryNotificationsEnabled", settings.bankedResetExpiryNotificationsEnabled);
    std::int64_t warningDays = settings.bankedResetExpiryWarningDays();
    reader.read("bankedResetExpiryWarningDays", warningDays);
    settings.setBankedResetExpiryWarningDays(warningDays);
    reader.read("menuBarCompactMode", settings.menuBarCompactMode);
    reader.read("menuBarGaugeLabelStyle", settings.menuBarGaugeLabelStyle, &menuBarGaugeLabelStyleFromRaw);
    reader.read("showCodexFiveHourInMenuBar", settings.showCodexFiveHourInMenuBar);
    reader.read("showCodexWeeklyInMenuBar", settings.showCodexWeeklyInMenuBar);
    reader.read("showClaudeFiveHourInMenuBar", settings.showClaudeFiveHourInMenuBar);
    reader.read("showClaudeWeeklyInMenuBar", settings.showClaudeWeeklyInMenuBar);
    reader.read("codexMenuBarIdentityStyle", settings.codexMenuBarIdentityStyle, &menuBarProviderIdentityStyleFromRaw);
    reader.read("claudeMenuBarIdentityStyle", settings.claudeMenuBarIdentityStyle, &menuBarProviderIdentityStyleFromRaw);
    reader.read("claudeAuthenticationAutoRecoveryEnabled", settings.claudeAuthenticationAutoRecoveryEnabled);
    reader.read("claudeAuthAutoOpenOnExpiry", settings.claudeAuthAutoOpenOnExpiry);
    reader.read("notificationCategoryOverrides", settings.notificationCategoryOverrides);
    reader.read("refreshIntervalSeconds", settings.refreshIntervalSeconds);
    reader.read("usesSeparateRefreshIntervals", settings.usesSeparateRefreshIntervals);
    settings.codexRefreshIntervalSeconds = settings.refreshIntervalSeconds;
    settings.claudeRefreshIntervalSeconds = settings.refreshIntervalSeconds;
    reader.read("codexRefreshIntervalSeconds", settings.codexRefreshIntervalSeconds);
    reader.read("claudeRefreshIntervalSeconds", settings.claudeRefreshIntervalSeconds);
    reader.read("backgroundMonitoringEnabled", settings.backgroundMonitoringEnabled);
    reader.read("menuDisplayMode", settings.menuDisplayMode, &menuDisplayModeFromRaw);
    return settings;
}

} // namespace vantorel
