#include "core/foundation/FreedHeap.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vantorel {

namespace {

// The GUI thread uses the main arena; every other thread shares these. glibc would otherwise
// allow eight per core, each keeping its freed pages.
constexpr int maximumHeapArenas = 2;
// Blocks of this size or more are mapped on their own. Setting it also stops glibc from raising
// the threshold after a large free, which would put later large buffers into the heap.
constexpr int ownMappingThresholdBytes = 256 * 1024;

} // namespace

void returnFreedHeapToSystem()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

void tuneHeapForIdling()
{
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, maximumHeapArenas);
    mallopt(M_MMAP_THRESHOLD, ownMappingThresholdBytes);
#endif
}

} // namespace vantorel
