#include "sync/onboarding/OnboardingProgressStore.h"

#include "core/foundation/SettingsStore.h"

#include <QtGlobal>

#include <algorithm>

namespace vantorel {

OnboardingProgressStore::OnboardingProgressStore(SettingsStore& defaults, QString keyPrefix,
                                                 std::int64_t currentVersion, std::int64_t stepCount)
    : m_defaults(defaults)
    , m_keyPrefix(std::move(keyPrefix))
    , m_currentVersion(currentVersion)
    , m_stepCount(stepCount)
{
    if (m_stepCount < 1 || m_currentVersion < 1 || m_keyPrefix.isEmpty()) {
        qFatal("OnboardingProgressStore: invalid configuration");
    }
}

OnboardingProgress OnboardingProgressStore::load() const
{
    // An absent version reads as 0, which no valid store uses.
    if (m_defaults.integerValue(key(".version")).value_or(0) != m_currentVersion) {
        return {m_currentVersion, OnboardingCompletionState::notPresented, 0};
    }
    const QString stateText = m_defaults.stringValue(key(".state")).value_or(QString());
    auto state = OnboardingCompletionState::notPresented;
    if (stateText == u"deferred") {
        state = OnboardingCompletionState::deferred;
    } else if (stateText == u"completed") {
        state = OnboardingCompletionState::completed;
    }
    return {m_currentVersion, state, clampedStep(m_defaults.integerValue(key(".step")).value_or(0))};
}

OnboardingProgress OnboardingProgressStore::begin()
{
    const OnboardingProgress progress = load();
    persist(progress);
    return progress;
}

OnboardingProgress OnboardingProgressStore::move(std::int64_t step)
{
    OnboardingProgress progress = load();
    progress.currentStep = clampedStep(step);
    persist(progress);
    return progress;
}

OnboardingProgress OnboardingProgressStore::deferPresentation()
{
    OnboardingProgress progress = load();
    progress.state = OnboardingCompletionState::deferred;
    persist(progress);
    return progress;
}

OnboardingProgress OnboardingProgressStore::complete()
{
    OnboardingProgress progress = load();
    progress.state = OnboardingCompletionState::completed;
    persist(progress);
    return progress;
}

OnboardingProgress OnboardingProgressStore::restart()
{
    m_defaults.remove(key(".version"));
    m_defaults.remove(key(".state"));
    m_defaults.remove(key(".step"));
    return {m_currentVersion, OnboardingCompletionState::notPresented, 0};
}

void OnboardingProgressStore::persist(const OnboardingProgress& progress)
{
    m_defaults.set(key(".version"), m_currentVersion);
    m_defaults.set(key(".state"), rawValue(progress.state));
    m_defaults.set(key(".step"), clampedStep(progress.currentStep));
}

std::int64_t OnboardingProgressStore::clampedStep(std::int64_t step) const
{
    return std::clamp<std::int64_t>(step, 0, m_stepCount - 1);
}

QString OnboardingProgressStore::key(const char* suffix) const
{
    return m_keyPrefix + QLatin1StringView(suffix);
}

} // namespace vantorel
