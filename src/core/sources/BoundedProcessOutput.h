#pragma once

#include <QByteArray>

#include <cstdint>

namespace vantorel {

// What a finished child left behind: its standard output and its exit status (the signal number
// when a signal ended it).
struct BoundedProcessOutput
{
    QByteArray standardOutput;
    std::int32_t terminationStatus = 0;

    bool operator==(const BoundedProcessOutput&) const = default;
};

} // namespace vantorel
