#include "app/shell/UnplannedExit.h"

#include <cstdio>
#include <utility>

#include <unistd.h>

namespace vantorel {

namespace {

// Destroyed by exit() on the thread that armed it, before anything else exit() does.
struct ExitWatch
{
    std::function<void()> writeOut;

    ~ExitWatch()
    {
        if (!writeOut)
            return;
        std::exchange(writeOut, {})();
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(UnplannedExit::exitStatus);
    }
};

thread_local ExitWatch exitWatch;

} // namespace

UnplannedExit::UnplannedExit(std::function<void()> writeOut)
{
    exitWatch.writeOut = std::move(writeOut);
}

UnplannedExit::~UnplannedExit()
{
    exitWatch.writeOut = {};
}

} // namespace vantorel
