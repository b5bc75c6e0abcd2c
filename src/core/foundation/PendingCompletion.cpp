#include "core/foundation/PendingCompletion.h"

#include <QAbstractEventDispatcher>
#include <QMetaObject>
#include <QThread>

#include <atomic>

namespace vantorel::detail {

namespace {

std::atomic<int> pendingResumes{0};
std::atomic<int> suspendedAwaiters{0};

} // namespace

ResumeTarget resumeTargetForCurrentThread(std::coroutine_handle<> handle)
{
    // The event dispatcher is a QObject living in this thread for as long as its loop can run,
    // so a queued call to it runs on this thread without a context object of our own.
    return ResumeTarget{handle, QAbstractEventDispatcher::instance(QThread::currentThread())};
}

void resumeLater(const ResumeTarget& target)
{
    if (!target.context) {
        target.handle.resume();
        return;
    }
    ++pendingResumes;
    const auto handle = target.handle;
    const bool posted = QMetaObject::invokeMethod(
        target.context.data(),
        [handle] {
            --pendingResumes;
            handle.resume();
        },
        Qt::QueuedConnection);
    if (!posted) {
        --pendingResumes;
        handle.resume();
    }
}

int pendingResumeCount()
{
    return pendingResumes.load();
}

int suspendedAwaiterCount()
{
    return suspendedAwaiters.load();
}

void countSuspendedAwaiters(int change)
{
    suspendedAwaiters += change;
}

} // namespace vantorel::detail
