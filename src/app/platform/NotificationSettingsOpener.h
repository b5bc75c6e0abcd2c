#pragma once

namespace vantorel {

// Opens the desktop's own notification settings: GNOME Settings' notifications panel or the
// notifications module of KDE System Settings, whichever is installed (the running desktop's
// first). Does nothing when neither is.
struct NotificationSettingsOpener
{
    // True when a settings program was started.
    static bool open();
};

} // namespace vantorel
