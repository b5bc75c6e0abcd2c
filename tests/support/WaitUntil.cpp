#include "support/WaitUntil.h"

#include "support/DrainEvents.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

namespace vantorel {

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    drainEvents();
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        drainEvents();
    }
    return true;
}

} // namespace vantorel
