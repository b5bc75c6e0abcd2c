#pragma once

#include "sync/onboarding/OnboardingProgress.h"

#include <QString>

#include <cstdint>

namespace vantorel {

class SettingsStore;

// Remembers one guided flow's progress under three keys: prefix + ".version", ".state" and
// ".step". Nothing is cached: every call reads the store afresh, so two stores with the same
// prefix see each other's writes. Progress stored under another version reads as never shown.
// Returned progress always carries the current version and a step within 0...stepCount - 1.
class OnboardingProgressStore final
{
public:
    // The view model's two flows.
    static constexpr auto onboardingKeyPrefix = "vantorel-mac-onboarding";
    static constexpr std::int64_t onboardingVersion = 1;
    static constexpr std::int64_t onboardingStepCount = 9;
    static constexpr auto initialSetupKeyPrefix = "vantorel-mac-initial-setup";
    static constexpr std::int64_t initialSetupVersion = 1;
    static constexpr std::int64_t initialSetupStepCount = 7;

    // stepCount and currentVersion must be at least 1 and the prefix non-empty; anything else is
    // a programming error and stops the process. Reads and writes nothing. The store must outlive
    // this object.
    OnboardingProgressStore(SettingsStore& defaults, QString keyPrefix, std::int64_t currentVersion,
                            std::int64_t stepCount);

    const QString& keyPrefix() const { return m_keyPrefix; }
    std::int64_t currentVersion() const { return m_currentVersion; }
    std::int64_t stepCount() const { return m_stepCount; }

    // The stored progress; writes nothing.
    OnboardingProgress load() const;
    // Writes the stored progress back normalised (a flow of another version starts over).
    OnboardingProgress begin();
    OnboardingProgress move(std::int64_t step);
    OnboardingProgress deferPresentation();
    OnboardingProgress complete();
    // Removes the three keys and returns the never-shown progress.
    OnboardingProgress restart();

private:
    void persist(const OnboardingProgress& progress);
    std::int64_t clampedStep(std::int64_t step) const;
    QString key(const char* suffix) const;

    SettingsStore& m_defaults;
    QString m_keyPrefix;
    std::int64_t m_currentVersion;
    std::int64_t m_stepCount;
};

} // namespace vantorel
