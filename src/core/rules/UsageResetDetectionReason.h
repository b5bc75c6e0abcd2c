#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// Why a usage window was taken to have reset.
enum class UsageResetDetectionReason { scheduledTimePassed, earlyResetDateAdvanced, earlyRemainingRecovered };

inline constexpr std::array allUsageResetDetectionReasons{UsageResetDetectionReason::scheduledTimePassed,
                                                           UsageResetDetectionReason::earlyResetDateAdvanced,
                                                           UsageResetDetectionReason::earlyRemainingRecovered};

QString rawValue(UsageResetDetectionReason value);
std::optional<UsageResetDetectionReason> usageResetDetectionReasonFromRaw(const QString& raw);
// Every reason except the announced time having passed.
constexpr bool isEarly(UsageResetDetectionReason reason)
{
    return reason != UsageResetDetectionReason::scheduledTimePassed;
}

} // namespace vantorel
