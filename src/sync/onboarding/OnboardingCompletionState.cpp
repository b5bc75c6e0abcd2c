#include "sync/onboarding/OnboardingCompletionState.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 3> names{u"notPresented", u"deferred", u"completed"};
}

QString rawValue(OnboardingCompletionState state)
{
    return enumnames::name(names, state);
}

std::optional<OnboardingCompletionState> onboardingCompletionStateFromRaw(const QString& raw)
{
    return enumnames::parse<OnboardingCompletionState>(names, raw);
}

} // namespace vantorel
