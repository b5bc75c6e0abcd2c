#include "core/foundation/DateTexts.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vantorel {

namespace {

std::optional<QString> formatted(std::optional<Date> date, const QTimeZone& zone, QStringView pattern)
{
    if (!date || !date->isFinite())
        return std::nullopt;
    const QDateTime local = date->toQDateTime().toTimeZone(zone);
    if (!local.isValid())
        return std::nullopt;
    return QLocale::c().toString(local, pattern);
}

} // namespace

QString DateTexts::shortTimeText(std::optional<Date> date, const QTimeZone& zone)
{
    return formatted(date, zone, u"H:mm").value_or(QStringLiteral("--:--"));
}

QString DateTexts::dateText(std::optional<Date> date, const QTimeZone& zone)
{
    return formatted(date, zone, u"yyyy/MM/dd H:mm").value_or(QStringLiteral("未取得"));
}

QString DateTexts::historyDateText(std::optional<Date> date, const QTimeZone& zone)
{
    return formatted(date, zone, u"M/d H:mm").value_or(QStringLiteral("--"));
}

QString DateTexts::abbreviatedDateTimeText(std::optional<Date> date, const QTimeZone& zone)
{
    return formatted(date, zone, u"yyyy年M月d日 H:mm").value_or(QStringLiteral("--"));
}

QString DateTexts::abbreviatedDateStandardTimeText(std::optional<Date> date, const QTimeZone& zone)
{
    return formatted(date, zone, u"yyyy年M月d日 H:mm:ss").value_or(QStringLiteral("--"));
}

QString DateTexts::durationText(double seconds)
{
    if (!std::isfinite(seconds))
        return QStringLiteral("0m");
    // Capped before the cast: a minute count beyond 64 bits is undefined behaviour.
    constexpr double maximumMinutes = 9.0e15;
    const auto minutes = static_cast<std::int64_t>(std::clamp(std::trunc(seconds / 60), 0.0, maximumMinutes));
    if (minutes >= 1440)
        return QString::number(minutes / 1440) + u"d " + QString::number(minutes % 1440 / 60) + u'h';
    if (minutes >= 60)
        return QString::number(minutes / 60) + u"h " + QString::number(minutes % 60) + u'm';
    return QString::number(minutes) + u'm';
}

} // namespace vantorel
