#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <future>

namespace vantorel {

// The one place that gives memory back while the application idles. It hears four moments and
// runs its steps in one order: the pictures cached for pages (icons, pixmaps), the font faces no
// live font holds, then the heap pages that frees left empty. A closed main window or popover
// runs every step, on the next turns, once the pages are gone or hidden; the end of the start-up
// and of a refresh's burst hand back the heap only, once the work they queued on other threads
// (settings writes, snapshots, tray pictures) has settled, so a run of bursts costs one release.
// GUI thread only; the heap's arenas are trimmed on a thread of their own.
class MemoryHousekeeping final : public QObject
{
    Q_OBJECT

public:
    // The steps, in the order they run.
    struct Steps
    {
        std::function<void()> releasePictures;
        std::function<void()> releaseFaces;
        std::function<void()> returnHeap;
    };

    // The settings writer, the sync snapshot and the tray pictures a burst queued are done well
    // within this.
    static constexpr int burstSettleMilliseconds = 2'000;

    // `steps` default to the real ones: icon and pixmap caches, unused font faces, and
    // returnFreedHeapToSystem.
    explicit MemoryHousekeeping(QObject* parent = nullptr);
    MemoryHousekeeping(Steps steps, int burstSettleMilliseconds, QObject* parent = nullptr);
    // Waits for a trimming still running.
    ~MemoryHousekeeping() override;

    // The load and the first refresh after launch are over.
    void startUpDone();
    // A refresh ended: its reading was taken in and its pictures and writes queued.
    void refreshBurstDone();
    // The main window was closed (its pages destroyed or hidden).
    void windowClosed();
    // The popover was closed; its pages are kept, hidden.
    void popoverClosed();

    // Sets the allocator up for a process that idles between short bursts; call before any thread
    // starts. Threads share a few malloc arenas instead of keeping one each, and large blocks
    // always get mappings of their own, so that a burst's big buffers go back to the system as
    // soon as they are freed instead of being kept in the heap.
    static void tuneHeapForIdling();
    // Hands the heap pages that frees left empty back to the system, in every malloc arena,
    // including those that only the calling thread's cache of freed blocks kept resident. Only
    // the calling thread can empty its cache; the trimming, which walks every arena and takes
    // each one's lock as an allocation does, runs on a thread of its own.
    void returnFreedHeapToSystem();

private:
    // The steps run by `owner`, which need not be constructed yet.
    static Steps realSteps(MemoryHousekeeping* owner);
    void pagesClosed();

    Steps m_steps;
    QTimer m_burstSettle;
    bool m_pagesReleaseQueued = false;
    std::future<void> m_heapTrim;
};

} // namespace vantorel
