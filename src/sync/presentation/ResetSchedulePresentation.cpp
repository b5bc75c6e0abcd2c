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

// Any finite instant within QDateTime's range (about 292 million years either way) is placed on
// the calendar; beyond it there is no date to show, only the countdown.
std::optional<QDateTime> localDateTime(Date instant, const QTimeZone& timeZone)
{
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
    if (!resetAt || !resetAt->isFinite() || !now.isFinite())
        return {u"リセット予定 未取得"_s, std::nullopt, false};

    const auto reset = localDateTime(*resetAt, timeZone);
    const auto current = localDateTime(now, timeZone);
    QString datePart;
    if (reset && current) {
        const QDate resetDay = reset->date();
        const QDate today = current->date();
        if (resetDay == today) {
            datePart = u"今日 "_s + reset->toString(timePattern);
        } else if (const QDate tomorrow = today.addDays(1); tomorrow.isValid() && resetDay == tomorrow) {
            datePart = u"明日 "_s + reset->toString(timePattern);
        } else if (resetDay.year() == today.year()) {
            datePart = reset->toString(monthDayPattern);
        } else {
            datePart = reset->toString(fullDatePattern);
        }
    } else if (reset) {
        datePart = reset->toString(fullDatePattern);
    }
    // Without a date the line starts with the word itself.
    const auto afterDate = [&datePart](const QString& word) { return datePart.isEmpty() ? word : datePart + u' ' + word; };

    if (*resetAt <= now)
        return {afterDate(u"予定"_s), u"予定経過・更新待ち"_s, true};
    return {afterDate(u"リセット予定"_s), countdown(*resetAt, now), false};
}

} // namespace vantorel
