#include "core/foundation/InMemorySettingsStore.h"
#include "sync/onboarding/OnboardingProgressStore.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using State = OnboardingCompletionState;

const QString guide = OnboardingProgressStore::onboardingKeyPrefix;
const QString wizard = OnboardingProgressStore::initialSetupKeyPrefix;

class OnboardingProgressStoreTest : public testing::Test
{
protected:
    OnboardingProgressStore guideStore() { return {defaults, guide, 1, OnboardingProgressStore::onboardingStepCount}; }

    void store(const QString& prefix, std::optional<SettingsStore::Value> version, std::optional<SettingsStore::Value> state,
               std::optional<SettingsStore::Value> step)
    {
        const std::pair<const char*, std::optional<SettingsStore::Value>> entries[] = {
            {".version", version}, {".state", state}, {".step", step}};
        for (const auto& [suffix, value] : entries) {
            if (value) {
                defaults.set(prefix + QLatin1StringView(suffix), *value);
            }
        }
    }

    // The three stored values as (version, state, step); absent ones as -1 / "<absent>".
    std::tuple<std::int64_t, QString, std::int64_t> stored(const QString& prefix) const
    {
        return {defaults.integerValue(prefix + ".version").value_or(-1),
                defaults.stringValue(prefix + ".state").value_or("<absent>"),
                defaults.integerValue(prefix + ".step").value_or(-1)};
    }

    InMemorySettingsStore defaults;
};

struct LoadCase
{
    const char* name;
    std::optional<SettingsStore::Value> version;
    std::optional<SettingsStore::Value> state;
    std::optional<SettingsStore::Value> step;
    OnboardingProgress expected;
};

class OnboardingLoad : public OnboardingProgressStoreTest, public testing::WithParamInterface<LoadCase>
{
};

TEST_P(OnboardingLoad, ReadsVersionStateAndClampedStep)
{
    const LoadCase& c = GetParam();
    store(guide, c.version, c.state, c.step);
    EXPECT_EQ(guideStore().load(), c.expected);
    // Loading never writes.
    EXPECT_EQ(defaults.contains(guide + ".version"), c.version.has_value());
}

using V = SettingsStore::Value;

INSTANTIATE_TEST_SUITE_P(
    OnboardingProgressStore, OnboardingLoad,
    testing::Values(
        LoadCase{"nothingStored", {}, {}, {}, {1, State::notPresented, 0}},
        LoadCase{"completedAtStep4", V(std::int64_t(1)), V(QString("completed")), V(std::int64_t(4)), {1, State::completed, 4}},
        LoadCase{"deferredWithoutStep", V(std::int64_t(1)), V(QString("deferred")), {}, {1, State::deferred, 0}},
        LoadCase{"otherVersionIgnoresTheRest", V(std::int64_t(2)), V(QString("completed")), V(std::int64_t(5)), {1, State::notPresented, 0}},
        LoadCase{"versionOfWrongType", V(QString("1")), V(QString("completed")), V(std::int64_t(5)), {1, State::notPresented, 0}},
        LoadCase{"stateInOtherCase", V(std::int64_t(1)), V(QString("Completed")), V(std::int64_t(2)), {1, State::notPresented, 2}},
        LoadCase{"unknownState", V(std::int64_t(1)), V(QString("skipped")), V(std::int64_t(2)), {1, State::notPresented, 2}},
        LoadCase{"stateOfWrongType", V(std::int64_t(1)), V(true), V(std::int64_t(2)), {1, State::notPresented, 2}},
        LoadCase{"stepBeyondLast", V(std::int64_t(1)), V(QString("deferred")), V(std::int64_t(42)), {1, State::deferred, 8}},
        LoadCase{"negativeStep", V(std::int64_t(1)), V(QString("deferred")), V(std::int64_t(-3)), {1, State::deferred, 0}},
        LoadCase{"stepOfWrongType", V(std::int64_t(1)), V(QString("deferred")), V(QString("3")), {1, State::deferred, 0}}),
    [](const testing::TestParamInfo<LoadCase>& info) { return info.param.name; });

TEST_F(OnboardingProgressStoreTest, BeginNormalisesWhatIsStoredWithoutChangingTheState)
{
    EXPECT_EQ(guideStore().begin(), (OnboardingProgress{1, State::notPresented, 0}));
    EXPECT_EQ(stored(guide), std::make_tuple(std::int64_t(1), QString("notPresented"), std::int64_t(0)));

    store(guide, V(std::int64_t(1)), V(QString("deferred")), V(std::int64_t(99)));
    EXPECT_EQ(guideStore().begin(), (OnboardingProgress{1, State::deferred, 8}));
    EXPECT_EQ(stored(guide), std::make_tuple(std::int64_t(1), QString("deferred"), std::int64_t(8)));
}

TEST_F(OnboardingProgressStoreTest, ChangesKeepTheOtherFieldAndStartOverAfterAVersionChange)
{
    auto store1 = guideStore();
    EXPECT_EQ(store1.move(-3), (OnboardingProgress{1, State::notPresented, 0}));
    EXPECT_EQ(store1.move(100), (OnboardingProgress{1, State::notPresented, 8}));
    EXPECT_EQ(store1.move(5), (OnboardingProgress{1, State::notPresented, 5}));
    EXPECT_EQ(store1.complete(), (OnboardingProgress{1, State::completed, 5}));
    EXPECT_EQ(store1.deferPresentation(), (OnboardingProgress{1, State::deferred, 5}));
    EXPECT_EQ(stored(guide), std::make_tuple(std::int64_t(1), QString("deferred"), std::int64_t(5)));

    // A newer flow version reads the old progress as never shown and overwrites it on change.
    OnboardingProgressStore store2(defaults, guide, 2, 9);
    EXPECT_EQ(store2.load(), (OnboardingProgress{2, State::notPresented, 0}));
    EXPECT_EQ(store2.complete(), (OnboardingProgress{2, State::completed, 0}));
    EXPECT_EQ(stored(guide), std::make_tuple(std::int64_t(2), QString("completed"), std::int64_t(0)));
    EXPECT_EQ(store1.load(), (OnboardingProgress{1, State::notPresented, 0}));
}

TEST_F(OnboardingProgressStoreTest, RestartRemovesTheKeysUntilTheNextWrite)
{
    auto store1 = guideStore();
    store1.move(3);
    store1.complete();
    EXPECT_EQ(store1.restart(), (OnboardingProgress{1, State::notPresented, 0}));
    EXPECT_FALSE(defaults.contains(guide + ".version"));
    EXPECT_FALSE(defaults.contains(guide + ".state"));
    EXPECT_FALSE(defaults.contains(guide + ".step"));
    EXPECT_EQ(store1.load(), (OnboardingProgress{1, State::notPresented, 0}));
    EXPECT_TRUE(store1.load().shouldAutoPresent());
}

TEST_F(OnboardingProgressStoreTest, StoresWithOnePrefixShareProgressAndTheTwoFlowsDoNot)
{
    auto first = guideStore();
    auto second = guideStore();
    OnboardingProgressStore setup(defaults, wizard, 1, OnboardingProgressStore::initialSetupStepCount);

    first.move(6);
    EXPECT_EQ(second.complete(), (OnboardingProgress{1, State::completed, 6}));
    EXPECT_EQ(setup.load(), (OnboardingProgress{1, State::notPresented, 0}));
    EXPECT_EQ(setup.move(9), (OnboardingProgress{1, State::notPresented, 6}));
    setup.restart();
    EXPECT_EQ(first.load(), (OnboardingProgress{1, State::completed, 6}));

    OnboardingProgressStore single(defaults, "single", 1, 1);
    EXPECT_EQ(single.move(4).currentStep, 0);
}

TEST(OnboardingProgressStoreDeathTest, RefusesAnInvalidConfiguration)
{
    InMemorySettingsStore defaults;
    EXPECT_DEATH(OnboardingProgressStore(defaults, "x", 1, 0), "invalid configuration");
    EXPECT_DEATH(OnboardingProgressStore(defaults, "x", 0, 3), "invalid configuration");
    EXPECT_DEATH(OnboardingProgressStore(defaults, "", 1, 3), "invalid configuration");
}

} // namespace
} // namespace vantorel
