#pragma once

#include "sync/onboarding/OnboardingCompletionState.h"

#include <cstdint>

namespace vantorel {

// One flow's progress: the flow version it belongs to, its state and the zero-based step.
struct OnboardingProgress
{
    std::int64_t version = 0;
    OnboardingCompletionState state = OnboardingCompletionState::notPresented;
    std::int64_t currentStep = 0;

    bool shouldAutoPresent() const { return state == OnboardingCompletionState::notPresented; }

    bool operator==(const OnboardingProgress&) const = default;
};

} // namespace vantorel
