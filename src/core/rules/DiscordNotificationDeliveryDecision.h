#pragma once

namespace vantorel {

// What to do with a queued Discord message now: send it, hold it until a fresher reading
// exists, or drop it.
enum class DiscordNotificationDeliveryDecision { deliver, deferUntilRefresh, cancel };

} // namespace vantorel
