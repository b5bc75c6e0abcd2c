#pragma once

#include <QString>

#include <optional>

namespace vantorel {

// The two lines of a window's consumption summary.
struct UsageConsumptionText
{
    QString headline;
    std::optional<QString> detail;

    bool operator==(const UsageConsumptionText&) const = default;
};

} // namespace vantorel
