#pragma once

#include "core/foundation/Date.h"

#include <functional>

namespace vantorel {

// Where code that decides anything reads "now". Production passes systemClock(); tests pass a
// ManualClock (tests/support) so time only moves when the test says so.
using Clock = std::function<Date()>;

// Reads the wall clock (Date::now()).
Clock systemClock();

} // namespace vantorel
