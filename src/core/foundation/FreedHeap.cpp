#include "core/foundation/FreedHeap.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vantorel {

void returnFreedHeapToSystem()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace vantorel
