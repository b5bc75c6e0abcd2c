#pragma once

#include "core/foundation/Date.h"
#include "sync/presentation/ResetScheduleText.h"

#include <optional>

class QTimeZone;

namespace vantorel {

// The reset schedule of a usage window in Japanese: "今日 14:05 リセット予定" / "あと2時間5分".
struct ResetSchedulePresentation
{
    // Days are those of the Gregorian calendar in `timeZone`: today and tomorrow are named, a
    // later day of the same year is "M/d HH:mm", another year "yyyy/M/d HH:mm". An instant the
    // calendar cannot place reads like a missing one.
    static ResetScheduleText text(std::optional<Date> resetAt, Date now, const QTimeZone& timeZone);
};

} // namespace vantorel
