#pragma once

#include <QString>

#include <optional>

namespace vantorel {

// When a usage window is due to reset: the date line, the time left (or a passed note), and
// whether the reset time has passed.
struct ResetScheduleText
{
    QString primary;
    std::optional<QString> secondary;
    bool isElapsed = false;

    bool operator==(const ResetScheduleText&) const = default;
};

} // namespace vantorel
