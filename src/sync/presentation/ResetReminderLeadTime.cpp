#include "sync/presentation/ResetReminderLeadTime.h"

namespace vantorel {

using namespace Qt::StringLiterals;

QString rawValue(ResetReminderLeadTime leadTime)
{
    switch (leadTime) {
    case ResetReminderLeadTime::atReset:
        return u"atReset"_s;
    case ResetReminderLeadTime::fifteenMinutes:
        return u"fifteenMinutes"_s;
    case ResetReminderLeadTime::oneHour:
        return u"oneHour"_s;
    }
    return {};
}

std::optional<ResetReminderLeadTime> resetReminderLeadTimeFromRaw(QStringView raw)
{
    for (const auto leadTime : resetReminderLeadTimeAllCases) {
        if (raw == rawValue(leadTime))
            return leadTime;
    }
    return std::nullopt;
}

double seconds(ResetReminderLeadTime leadTime)
{
    switch (leadTime) {
    case ResetReminderLeadTime::atReset:
        return 0;
    case ResetReminderLeadTime::fifteenMinutes:
        return 900;
    case ResetReminderLeadTime::oneHour:
        return 3600;
    }
    return 0;
}

QString title(ResetReminderLeadTime leadTime)
{
    switch (leadTime) {
    case ResetReminderLeadTime::atReset:
        return u"予定時刻"_s;
    case ResetReminderLeadTime::fifteenMinutes:
        return u"15分前"_s;
    case ResetReminderLeadTime::oneHour:
        return u"1時間前"_s;
    }
    return {};
}

} // namespace vantorel
