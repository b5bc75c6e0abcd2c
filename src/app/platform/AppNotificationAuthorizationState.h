#pragma once

namespace vantorel {

// The desktop-notification permission as the settings show it. `checking` is set by the view
// model while it asks; NotificationManager answers every other case.
enum class AppNotificationAuthorizationState { disabled, checking, notDetermined, denied, authorized };

} // namespace vantorel
