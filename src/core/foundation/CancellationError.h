#pragma once

#include <exception>

namespace vantorel {

// Thrown by awaits that stop because their CancelToken was cancelled. Deliberately unrelated to
// every other error type, so `catch (const CancellationError&)` never swallows a real failure and
// a generic failure handler can let cancellation pass through.
class CancellationError final : public std::exception
{
public:
    const char* what() const noexcept override { return "cancelled"; }
};

} // namespace vantorel
