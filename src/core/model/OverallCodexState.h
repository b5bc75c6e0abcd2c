#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// The summarised state of one provider's status page.
enum class OverallCodexState { normal, degraded, outage, fetchFailed };

inline constexpr std::array allOverallCodexStates{OverallCodexState::normal, OverallCodexState::degraded, OverallCodexState::outage, OverallCodexState::fetchFailed};

QString rawValue(OverallCodexState value);
std::optional<OverallCodexState> overallCodexStateFromRaw(const QString& raw);

} // namespace vantorel
