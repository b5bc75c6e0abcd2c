#include "app/shell/MemoryHousekeeping.h"

#include "app/ui/IconProvider.h"
#include "app/ui/UiFont.h"
#include "core/foundation/ThreadPriority.h"

#include <QPixmapCache>

#if defined(__GLIBC__)
#include <malloc.h>

#include <array>
#include <cstdlib>
#include <thread>
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
// These are glibc's defaults for 64-bit targets as of 2.36 (Debian 12), unchanged since the cache
// came in 2.26: TCACHE_FILL_COUNT, the request size of the largest of TCACHE_MAX_BINS bins, and
// MALLOC_ALIGNMENT. The glibc.malloc.tcache_* tunables can change them for a run.
constexpr std::size_t threadCacheBlocksPerSize = 7;
constexpr std::size_t threadCacheLargestBlock = 1032;
constexpr std::size_t threadCacheSizeStep = 16;

constexpr std::size_t threadCacheBlocks = threadCacheLargestBlock / threadCacheSizeStep * threadCacheBlocksPerSize;
using ThreadCacheBlocks = std::array<void*, threadCacheBlocks>;

// Takes every block this thread's cache holds, leaving the cache empty. Freed again by this
// thread, they would go straight back into its cache, and blocks taken out and freed here only
// trade places with fresh ones (a full cache, a quarter of a megabyte, strewn over the heap).
ThreadCacheBlocks takeThreadCache()
{
    ThreadCacheBlocks blocks{};
    auto block = blocks.begin();
    for (std::size_t size = threadCacheSizeStep; size <= threadCacheLargestBlock; size += threadCacheSizeStep) {
        for (std::size_t i = 0; i < threadCacheBlocksPerSize; ++i)
            *block++ = std::malloc(size);
    }
    return blocks;
}

// A thread's cache goes to the free lists when the thread ends, so the blocks are freed by a
// thread that ends at once, before trimming merges and returns the free lists.
void freePastThreadCache(const ThreadCacheBlocks& blocks)
{
    std::thread([&blocks] {
        for (void* taken : blocks)
            std::free(taken);
    }).join();
}
#endif

} // namespace

MemoryHousekeeping::MemoryHousekeeping(QObject* parent)
    : MemoryHousekeeping(realSteps(this), burstSettleMilliseconds, parent)
{
}

MemoryHousekeeping::MemoryHousekeeping(Steps steps, int settleMilliseconds, QObject* parent)
    : QObject(parent)
    , m_steps(std::move(steps))
{
    m_burstSettle.setSingleShot(true);
    m_burstSettle.setInterval(settleMilliseconds);
    connect(&m_burstSettle, &QTimer::timeout, this, [this] { m_steps.returnHeap(); });
}

MemoryHousekeeping::~MemoryHousekeeping()
{
    if (m_heapTrim.valid())
        m_heapTrim.wait();
}

void MemoryHousekeeping::startUpDone()
{
    m_burstSettle.start();
}

void MemoryHousekeeping::refreshBurstDone()
{
    m_burstSettle.start();
}

void MemoryHousekeeping::windowClosed()
{
    pagesClosed();
}

void MemoryHousekeeping::popoverClosed()
{
    pagesClosed();
}

void MemoryHousekeeping::pagesClosed()
{
    if (m_pagesReleaseQueued)
        return;
    m_pagesReleaseQueued = true;
    // A turn later, destroyed pages have given their pictures and fonts back.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_pagesReleaseQueued = false;
            m_steps.releasePictures();
            m_steps.releaseFaces();
            m_steps.returnHeap();
        },
        Qt::QueuedConnection);
}

MemoryHousekeeping::Steps MemoryHousekeeping::realSteps(MemoryHousekeeping* owner)
{
    return Steps{
        .releasePictures =
            [] {
                IconProvider::releaseCaches();
                QPixmapCache::clear();
            },
        .releaseFaces = &UiFont::releaseUnusedFaces,
        .returnHeap = [owner] { owner->returnFreedHeapToSystem(); },
    };
}

void MemoryHousekeeping::tuneHeapForIdling()
{
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, maximumHeapArenas);
    mallopt(M_MMAP_THRESHOLD, ownMappingThresholdBytes);
#endif
}

void MemoryHousekeeping::returnFreedHeapToSystem()
{
#if defined(__GLIBC__)
    // Only this thread can empty its own cache; the rest is done on a thread of its own.
    ThreadCacheBlocks blocks = takeThreadCache();
    // Seconds apart, the last trimming has long ended: this only reaps its thread.
    if (m_heapTrim.valid())
        m_heapTrim.wait();
    m_heapTrim = std::async(std::launch::async, [blocks] {
        lowerCurrentThreadPriority();
        freePastThreadCache(blocks);
        malloc_trim(0);
    });
#endif
}

} // namespace vantorel
