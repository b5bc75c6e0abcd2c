#include "core/foundation/TimerSleeper.h"

#include "core/foundation/PendingCompletion.h"

#include <QTimer>

#include <cmath>
#include <limits>

namespace vantorel {

namespace {

// QTimer takes an int of milliseconds; longer sleeps are served in pieces of this size.
constexpr double longestTimerSeconds = std::numeric_limits<int>::max() / 1000.0;

} // namespace

QCoro::Task<> TimerSleeper::sleep(double seconds, CancelToken token)
{
    token.throwIfCancelled();
    if (!(seconds > 0.0))
        co_return;
    double remaining = seconds;
    while (remaining > 0.0) {
        const double piece = std::min(remaining, longestTimerSeconds);
        remaining = std::isinf(remaining) ? remaining : remaining - piece;

        PendingCompletion<> woken;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [woken] { woken.complete(); });
        timer.start(int(std::ceil(piece * 1000.0)));
        auto registration = token.onCancel([woken] { woken.cancel(); });
        co_await woken;
    }
}

} // namespace vantorel
