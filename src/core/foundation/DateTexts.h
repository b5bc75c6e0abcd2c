#pragma once

#include "core/foundation/Date.h"

#include <QString>
#include <QTimeZone>

#include <optional>

namespace vantorel {

// The fixed date and time patterns of the window, in one place. Each takes the zone to write in
// (the desktop's by default); digits are always ASCII whatever the locale. A non-finite date
// reads as an absent one.
struct DateTexts
{
    // "9:05" (24-hour, hour without a leading zero); "--:--" when absent.
    static QString shortTimeText(std::optional<Date> date, const QTimeZone& zone = QTimeZone::systemTimeZone());
    // "2026/12/05 9:05", the Japanese short date and time; "未取得" when absent.
    static QString dateText(std::optional<Date> date, const QTimeZone& zone = QTimeZone::systemTimeZone());
    // "12/5 9:05"; "--" when absent.
    static QString historyDateText(std::optional<Date> date, const QTimeZone& zone = QTimeZone::systemTimeZone());
    // "2026年12月5日 9:05"; "--" when absent.
    static QString abbreviatedDateTimeText(std::optional<Date> date,
                                           const QTimeZone& zone = QTimeZone::systemTimeZone());
    // "2026年12月5日 9:05:07", the same with seconds; "--" when absent.
    static QString abbreviatedDateStandardTimeText(std::optional<Date> date,
                                                   const QTimeZone& zone = QTimeZone::systemTimeZone());
    // A compact duration of whole minutes, truncated: "2d 3h", "1h 5m", "42m"; "0m" below one
    // minute, for negative and for non-finite values.
    static QString durationText(double seconds);
};

} // namespace vantorel
