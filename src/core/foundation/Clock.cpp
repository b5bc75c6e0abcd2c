#include "core/foundation/Clock.h"

namespace vantorel {

Clock systemClock()
{
    return [] { return Date::now(); };
}

} // namespace vantorel
