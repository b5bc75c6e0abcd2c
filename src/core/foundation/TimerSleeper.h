#pragma once

#include "core/foundation/Sleeper.h"

namespace vantorel {

// Sleeps on a single-shot precise QTimer of the calling thread (which must run an event loop).
// No polling: an idle sleep costs one armed timer.
class TimerSleeper final : public Sleeper
{
public:
    QCoro::Task<> sleep(double seconds, CancelToken token) override;
};

} // namespace vantorel
