#include "app/window/SettingsBindings.h"

namespace vantorel {

Binding<std::int64_t> SettingsBindings::bankedResetExpiryWarningDays(const Binding<AppSettings>& settings)
{
    return {[get = settings.get] { return get().bankedResetExpiryWarningDays(); },
            [settings](std::int64_t days) {
                AppSettings copy = settings.get();
                copy.setBankedResetExpiryWarningDays(days);
                settings.set(copy);
            }};
}

Binding<bool> SettingsBindings::menuBarPercentage(const Binding<AppSettings>& settings)
{
    return {[get = settings.get] { return get().menuBarGaugeLabelStyle == MenuBarGaugeLabelStyle::remainingPercent; },
            [settings](bool on) {
                AppSettings copy = settings.get();
                copy.menuBarGaugeLabelStyle = on ? MenuBarGaugeLabelStyle::remainingPercent : MenuBarGaugeLabelStyle::period;
                settings.set(copy);
            }};
}

Binding<bool> SettingsBindings::discordMentionEveryone(const Binding<AppSettings>& settings)
{
    return {[get = settings.get] { return get().discordMentionEveryone.value_or(false); },
            [settings](bool on) {
                AppSettings copy = settings.get();
                copy.discordMentionEveryone = on;
                settings.set(copy);
                copy = settings.get();
                copy.discordMentionMigratedFromLegacy = false;
                settings.set(copy);
            }};
}

Binding<bool> SettingsBindings::notificationCategory(const Binding<AppSettings>& settings, NotificationCategory category,
                                                     MonitoredProvider provider, NotificationChannel channel)
{
    return {[get = settings.get, category, provider, channel] {
                return get().notificationCategoryEnabled(category, provider, channel);
            },
            [settings, category, provider, channel](bool on) {
                AppSettings copy = settings.get();
                copy.setNotificationCategory(category, provider, channel, on);
                settings.set(copy);
            }};
}

} // namespace vantorel
