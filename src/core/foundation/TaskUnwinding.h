#pragma once

#include <chrono>

namespace vantorel {

// Runs this thread's event loop (user input left alone) until no coroutine waits on a
// PendingCompletion or on a posted resumption, or until `bound` has passed; returns how many of
// them are still waiting (0: all unwound). For the end of the process, after the owners have cancelled their tasks: a
// cancelled task may still wait for something only the event loop delivers (a killed child
// being reaped, a worker's result), and a frame that is never resumed is never freed.
int unwindSuspendedTasks(std::chrono::milliseconds bound);

} // namespace vantorel
