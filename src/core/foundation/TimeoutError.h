#pragma once

#include <exception>

namespace vantorel {

// Thrown by withTimeout when the deadline passes first. Not a CancellationError: the caller was
// not cancelled, the work took too long.
class TimeoutError final : public std::exception
{
public:
    const char* what() const noexcept override { return "timed out"; }
};

} // namespace vantorel
