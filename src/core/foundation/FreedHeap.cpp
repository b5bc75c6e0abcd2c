#include "core/foundation/FreedHeap.h"

#if defined(__GLIBC__)
#include <malloc.h>

#include <array>
#include <cstdlib>
#endif

namespace vantorel {

namespace {

// The GUI thread uses the main arena; every other thread shares these. glibc would otherwise
// allow eight per core, each keeping its freed pages.
constexpr int maximumHeapArenas = 2;
// Blocks of this size or more are mapped on their own. Setting it also stops glibc from raising
// the threshold after a large free, which would put later large buffers into the heap.
constexpr int ownMappingThresholdBytes = 256 * 1024;

#if defined(__GLIBC__)
// glibc keeps up to seven freed blocks of each size up to 1,032 bytes in a cache of the thread's
// own, outside the free lists that trimming merges and returns: a few hundred of them, strewn over
// the pages a closed window used, keep those pages resident.
constexpr std::size_t threadCacheBlocksPerSize = 7;
constexpr std::size_t threadCacheLargestBlock = 1032;
constexpr std::size_t threadCacheSizeStep = 16;

// Takes every block this thread's cache holds and frees it past the cache, into the free lists.
void emptyThreadCache()
{
    // Twice the cache's depth: the first takes come from the cache, the rest from the free lists.
    // Freed newest first, the fresh blocks refill the cache and the cached ones go to the lists.
    std::array<void*, 2 * threadCacheBlocksPerSize> blocks{};
    for (std::size_t size = threadCacheSizeStep; size <= threadCacheLargestBlock; size += threadCacheSizeStep) {
        for (void*& block : blocks)
            block = std::malloc(size);
        for (auto block = blocks.rbegin(); block != blocks.rend(); ++block)
            std::free(*block);
    }
}
#endif

} // namespace

void returnFreedHeapToSystem()
{
#if defined(__GLIBC__)
    emptyThreadCache();
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
