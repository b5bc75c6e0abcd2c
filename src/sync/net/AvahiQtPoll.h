#pragma once

struct AvahiPoll;

namespace vantorel {

// Runs Avahi's client library on the Qt event loop of the main thread: its descriptors are
// watched by QSocketNotifiers and its timeouts by single-shot QTimers.
const AvahiPoll* avahiQtPoll();

} // namespace vantorel
