#include "core/foundation/ThreadPriority.h"

#include <cerrno>

#include <sys/resource.h>
#include <unistd.h>

namespace vantorel {

void lowerCurrentThreadPriority()
{
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int inherited = getpriority(PRIO_PROCESS, self);
    if (errno == 0)
        setpriority(PRIO_PROCESS, self, inherited + backgroundThreadNiceness);
}

} // namespace vantorel
