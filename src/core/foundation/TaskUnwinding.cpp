#include "core/foundation/TaskUnwinding.h"

#include "core/foundation/PendingCompletion.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace vantorel {

bool unwindSuspendedTasks(std::chrono::milliseconds bound)
{
    const auto unwound = [] { return detail::pendingResumeCount() == 0 && detail::suspendedAwaiterCount() == 0; };
    const QDeadlineTimer deadline(bound);
    // Ends the wait below once the bound has passed, if nothing else does.
    QTimer bell;
    bell.setSingleShot(true);
    bell.start(bound);
    while (!unwound()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
    }
    return true;
}

} // namespace vantorel
