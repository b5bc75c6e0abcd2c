#include "support/DrainEvents.h"

#include "core/foundation/PendingCompletion.h"

#include <QCoreApplication>

namespace vantorel {

void drainEvents()
{
    // A resumed coroutine may complete others, which post further resumptions: repeat until the
    // chain ends. The bound only guards against a test that loops forever.
    for (int round = 0; round < 10'000; ++round) {
        QCoreApplication::sendPostedEvents();
        if (detail::pendingResumeCount() == 0)
            break;
    }
    QCoreApplication::sendPostedEvents();
}

} // namespace vantorel
