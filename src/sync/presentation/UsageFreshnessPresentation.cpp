#include "sync/presentation/UsageFreshnessPresentation.h"

#include "sync/presentation/MinuteCount.h"

#include <cmath>

namespace vantorel {

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView unknownTimeText = u"時刻を確認";

// Seconds since the update, or nullopt when the update lies in the future or is not finite.
std::optional<double> elapsedSince(Date updatedAt, Date now)
{
    const double elapsed = now - updatedAt;
    if (!std::isfinite(elapsed) || elapsed < 0)
        return std::nullopt;
    return elapsed;
}

} // namespace

QString UsageFreshnessPresentation::age(std::optional<Date> updatedAt, Date now)
{
    if (!updatedAt)
        return u"未取得"_s;
    const auto elapsed = elapsedSince(*updatedAt, now);
    if (!elapsed)
        return unknownTimeText.toString();
    if (*elapsed < 60)
        return u"1分未満前"_s;
    const auto minutes = minuteCount::truncated(*elapsed);
    if (minutes <= 1439)
        return QString::number(minutes) + u"分前"_s;
    return QString::number(minutes / 1440) + u"日"_s + QString::number(minutes % 1440 / 60) + u"時間前"_s;
}

bool UsageFreshnessPresentation::isStale(std::optional<Date> updatedAt, Date now)
{
    if (!updatedAt)
        return false;
    const auto elapsed = elapsedSince(*updatedAt, now);
    return !elapsed || *elapsed >= staleInterval;
}

QString UsageFreshnessPresentation::fetchedHere()
{
    return u"このPCで取得"_s;
}

QString UsageFreshnessPresentation::label(std::optional<Date> updatedAt, Date now, bool failed)
{
    const QString ageText = age(updatedAt, now);
    QString text;
    if (ageText == unknownTimeText) {
        text = fetchedHere() + unknownTimeText;
    } else if (!updatedAt) {
        text = u"このPCで未取得"_s;
    } else {
        text = fetchedHere() + ageText;
        if (isStale(updatedAt, now))
            text += u"・古い情報"_s;
    }
    if (failed)
        text += u"・更新できません・最終値"_s;
    return text;
}

} // namespace vantorel
