#include "core/foundation/TaskUnwinding.h"

#include "core/foundation/PendingCompletion.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>

namespace vantorel {

int unwindSuspendedTasks(std::chrono::milliseconds bound)
{
    const auto remaining = [] { return detail::pendingResumeCount() + detail::suspendedAwaiterCount(); };
    const QDeadlineTimer deadline(bound, Qt::PreciseTimer);
    // Ends the wait below once the bound has passed, if nothing else does. Armed again whenever it
    // has fired, so a wake-up just short of the bound cannot leave the wait without one.
    QTimer bell;
    bell.setSingleShot(true);
    bell.setTimerType(Qt::PreciseTimer);
    while (remaining() > 0) {
        if (deadline.hasExpired())
            return remaining();
        if (!bell.isActive())
            bell.start(std::chrono::milliseconds(std::max<qint64>(deadline.remainingTime(), 1)));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
    }
    return 0;
}

} // namespace vantorel
