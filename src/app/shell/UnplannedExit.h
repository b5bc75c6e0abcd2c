#pragma once

#include <functional>

namespace vantorel {

// Writes out what must not be lost when exit() is called on the GUI thread while the application
// runs, instead of the process returning through main: Qt's xcb plugin does so when the display
// connection breaks (an X11 logout can take the display before any SIGTERM comes). The process
// then ends at once with status 1, as Qt asked, without running static destructors: they would run
// while Qt's worker threads (a host lookup, say) still use what they destroy.
//
// It hooks the first thing exit() does, destroying the calling thread's thread_local objects,
// which comes before the atexit handlers and static destructors that a later-made global of Qt's
// would put ahead of any handler registered now. An exit() on another thread is not seen.
// One instance at a time, made and destroyed on the GUI thread.
class UnplannedExit final
{
public:
    // The status the process ends with: Qt's for a broken display connection.
    static constexpr int exitStatus = 1;

    // `writeOut` runs on this thread inside exit(), with everything still alive.
    explicit UnplannedExit(std::function<void()> writeOut);
    // From now on exit() ends the process as it normally would.
    ~UnplannedExit();
    UnplannedExit(const UnplannedExit&) = delete;
    UnplannedExit& operator=(const UnplannedExit&) = delete;
};

} // namespace vantorel
