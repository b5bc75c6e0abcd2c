#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// Whether a guided flow was never shown (or restarted), put off, or finished.
enum class OnboardingCompletionState { notPresented, deferred, completed };

QString rawValue(OnboardingCompletionState state);
// Exactly the three raw values, case-sensitive.
std::optional<OnboardingCompletionState> onboardingCompletionStateFromRaw(const QString& raw);

} // namespace vantorel
