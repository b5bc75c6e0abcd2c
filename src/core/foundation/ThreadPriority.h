#pragma once

namespace vantorel {

// Work that is never urgent (writing the settings file, decoding a history at start) runs at
// this much more niceness than the thread that started it, so the GUI thread, and at start the
// tray host reading the first picture, get the processor first.
constexpr int backgroundThreadNiceness = 10;

// Raises the calling thread's niceness by backgroundThreadNiceness; Linux schedules threads
// one by one, so the rest of the process keeps its priority. Does nothing when it cannot.
void lowerCurrentThreadPriority();

} // namespace vantorel
