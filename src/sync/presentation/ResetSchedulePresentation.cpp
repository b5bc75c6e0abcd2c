#include "sync/presentation/ResetSchedulePresentation.h"

#include "sync/presentation/MinuteCount.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace vantorel {

using namespace Qt::StringLiterals;

namespace {

// Fixed patterns of the schedule line (Qt's date-format syntax).
constexpr QStringView timePattern = u"HH:mm";
constexpr QStringView monthDayPattern = u"M/d HH:mm";
constexpr QStringView fullDatePattern = u"yyyy/M/d HH:mm";

// Instants beyond the years 1...9999 are not placed on the calendar: the patterns and the
// zone rules are not meant for them.
constexpr double earliestPlaceable = -63'113'904'000.0; // 0001-01-01T00:00:00Z
constexpr double latestPlaceable = 252'423'993'599.0;   // 9999-12-31T23:59:59Z

std::optional<QDateTime> localDateTime(Date instant, const QTimeZone& timeZone)
{
    const double seconds = instant.timeIntervalSinceReferenceDate();
    if (!std::isfinite(seconds) || seconds < earliestPlaceable || seconds > latestPlaceable)
        return std::nullopt;
    QDateTime local = instant.toQDateTime().toTimeZone(timeZone);
    if (!local.isValid())
        return std::nullopt;
    return local;
}

QString countdown(Date resetAt, Date now)
{
    const double remaining = resetAt - now;
    if (!std::isfinite(remaining) || remaining <= 0)
        return u"予定経過・更新待ち"_s;
    const auto minutes = std::max<std::int64_t>(minuteCount::roundedUp(remaining), 1);
    QString text = u"あと"_s;
    if (minutes < 60)
        return text + QString::number(minutes) + u"分"_s;
    if (minutes < 1440) {
        text += QString::number(minutes / 60) + u"時間"_s;
        if (minutes % 60 > 0)
            text += QString::number(minutes % 60) + u"分"_s;
        return text;
    }
    text += QString::number(minutes / 1440) + u"日"_s;
    if (minutes % 1440 >= 60)
        text += QString::number(minutes % 1440 / 60) + u"時間"_s;
    return text;
}

} // namespace

ResetScheduleText ResetSchedulePresentation::text(std::optional<Date> resetAt, Date now,
                                                  const QTimeZone& timeZone)
{
    const auto reset = resetAt ? localDateTime(*resetAt, timeZone) : std::nullopt;
    const auto current = localDateTime(now, timeZone);
    if (!reset || !current)
        return {u"リセット予定 未取得"_s, std::nullopt, false};

    const QDate resetDay = reset->date();
    const QDate today = current->date();
    QString datePart;
    if (resetDay == today) {
        datePart = u"今日 "_s + reset->toString(timePattern);
    } else if (const QDate tomorrow = today.addDays(1); tomorrow.isValid() && resetDay == tomorrow) {
        datePart = u"明日 "_s + reset->toString(timePattern);
    } else if (resetDay.year() == today.year()) {
        datePart = reset->toString(monthDayPattern);
    } else {
        datePart = reset->toString(fullDatePattern);
    }

    if (*resetAt <= now)
        return {datePart + u" 予定"_s, u"予定経過・更新待ち"_s, true};
    return {datePart + u" リセット予定"_s, countdown(*resetAt, now), false};
}

} // namespace vantorel
