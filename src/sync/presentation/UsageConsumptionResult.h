#pragma once

#include "sync/presentation/UsageConsumptionSummary.h"

#include <optional>

namespace vantorel {

// Outcome of a consumption analysis: a pace, a run without consumption, or too little data.
class UsageConsumptionResult
{
public:
    enum class Kind { available, noConsumption, insufficientData };

    static UsageConsumptionResult available(const UsageConsumptionSummary& summary)
    {
        return UsageConsumptionResult(Kind::available, summary);
    }
    static UsageConsumptionResult noConsumption(const UsageConsumptionSummary& summary)
    {
        return UsageConsumptionResult(Kind::noConsumption, summary);
    }
    static UsageConsumptionResult insufficientData()
    {
        return UsageConsumptionResult(Kind::insufficientData, std::nullopt);
    }

    Kind kind() const { return m_kind; }
    // Present exactly for available and noConsumption.
    const std::optional<UsageConsumptionSummary>& summary() const { return m_summary; }

    bool operator==(const UsageConsumptionResult&) const = default;

private:
    UsageConsumptionResult(Kind kind, std::optional<UsageConsumptionSummary> summary)
        : m_kind(kind)
        , m_summary(summary)
    {
    }

    Kind m_kind;
    std::optional<UsageConsumptionSummary> m_summary;
};

} // namespace vantorel
