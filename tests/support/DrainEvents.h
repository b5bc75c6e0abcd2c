#pragma once

namespace vantorel {

// Runs posted events until no coroutine resumption is pending (plus a final pass for queued
// signals they caused). Never blocks waiting for timers or sockets.
void drainEvents();

} // namespace vantorel
