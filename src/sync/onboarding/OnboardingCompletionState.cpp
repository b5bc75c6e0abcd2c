#include "sync/onboarding/OnboardingCompletionState.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 3> onboardingCompletionStateNames{u"notPresented", u"deferred", u"completed"};
}

QString rawValue(OnboardingCompletionState state)
{
    return enumnames::name(onboardingCompletionStateNames, state);
}

std::optional<OnboardingCompletionState> onboardingCompletionStateFromRaw(const QString& raw)
{
    return enumnames::parse<OnboardingCompletionState>(onboardingCompletionStateNames, raw);
}

} // namespace vantorel
