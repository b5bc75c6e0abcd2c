#pragma once

#include "app/ui/Binding.h"
#include "core/model/AppSettings.h"

#include <cstdint>

namespace vantorel {

// The settings bindings that translate instead of copying one field.
struct SettingsBindings
{
    // Clamps to 1...30 on write.
    static Binding<std::int64_t> bankedResetExpiryWarningDays(const Binding<AppSettings>& settings);
    // On exactly while the label style is `remainingPercent`; off writes `period`.
    static Binding<bool> menuBarPercentage(const Binding<AppSettings>& settings);
    // On only while the choice is settled and on. A write settles it and then, in a second
    // write, drops the note that it was taken over from an old record.
    static Binding<bool> discordMentionEveryone(const Binding<AppSettings>& settings);
    static Binding<bool> notificationCategory(const Binding<AppSettings>& settings, NotificationCategory category,
                                              MonitoredProvider provider, NotificationChannel channel);
};

} // namespace vantorel
