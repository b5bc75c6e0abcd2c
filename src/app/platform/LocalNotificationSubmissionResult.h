#pragma once

namespace vantorel {

// How posting one desktop notification went; the view model records it as the notification's
// local delivery status.
enum class LocalNotificationSubmissionResult { disabled, notAuthorized, accepted, failed };

} // namespace vantorel
