#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// How long before a window's reset its reminder fires; the raw value is its stored form and id.
enum class ResetReminderLeadTime { atReset, fifteenMinutes, oneHour };

inline constexpr std::array<ResetReminderLeadTime, 3> resetReminderLeadTimeAllCases = {
    ResetReminderLeadTime::atReset, ResetReminderLeadTime::fifteenMinutes, ResetReminderLeadTime::oneHour};

QString rawValue(ResetReminderLeadTime leadTime);
// Exact, case-sensitive match; nullopt for anything else.
std::optional<ResetReminderLeadTime> resetReminderLeadTimeFromRaw(QStringView raw);
// The lead in seconds: 0, 900, 3600.
double seconds(ResetReminderLeadTime leadTime);
// The label of the choice: "予定時刻", "15分前", "1時間前".
QString title(ResetReminderLeadTime leadTime);

} // namespace vantorel
