#pragma once

#include <functional>

namespace vantorel {

// Runs the event loop until `condition` holds, for work that finishes on another thread. Waits
// for events, never sleeps; false when the condition still fails after `timeoutMs`.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10'000);

} // namespace vantorel
