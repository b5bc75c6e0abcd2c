#include "sync/presentation/UsageWindowPresentation.h"

#include "support/NonFinite.h"
#include "support/QtPrinters.h"

#include "sync/model/SyncUsageWindow.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using namespace Qt::StringLiterals;

using test::inf;
using test::nan;
const Date windowNow(800'000'000);

TEST(UsageWindowPresentationTest, RemainingPercentOnlyForShownStatesAndValidValues)
{
    struct Case
    {
        SyncValueState state;
        std::optional<double> value;
        std::optional<double> shown;
    };
    const std::vector<Case> cases = {
        {SyncValueState::available, 42, 42},
        {SyncValueState::fetchFailed, 42, 42},
        {SyncValueState::available, 0, 0},
        {SyncValueState::available, 100, 100},
        {SyncValueState::available, 100.0001, std::nullopt},
        {SyncValueState::available, -0.5, std::nullopt},
        {SyncValueState::available, nan, std::nullopt},
        {SyncValueState::available, inf, std::nullopt},
        {SyncValueState::available, std::nullopt, std::nullopt},
        {SyncValueState::notFetched, 42, std::nullopt},
        {SyncValueState::temporarilyUnavailable, 42, std::nullopt},
        {SyncValueState::disabled, 42, std::nullopt},
    };
    for (const auto& c : cases) {
        const SyncUsageWindow window{SyncWindowKind::weekly, c.state, c.value, windowNow};
        EXPECT_EQ(UsageWindowPresentation::remainingPercent(window), c.shown)
            << rawValue(c.state).toStdString() << " " << c.value.value_or(-999);
    }
}

TEST(UsageWindowPresentationTest, ResetCountdownRoundsMinutesUp)
{
    const std::vector<std::pair<std::optional<double>, QString>> cases = {
        {std::nullopt, u"リセット予定 未取得"_s},
        {nan, u"リセット予定 未取得"_s},
        {inf, u"リセット予定 未取得"_s},
        {-inf, u"リセット予定 未取得"_s},
        {-120, u"予定経過・確認待ち"_s},
        {0, u"予定経過・確認待ち"_s},
        {0.001, u"リセットまで1分"_s},
        {30, u"リセットまで1分"_s},
        {59, u"リセットまで1分"_s},
        {60, u"リセットまで1分"_s},
        {61, u"リセットまで2分"_s},
        {3540, u"リセットまで59分"_s},
        {3599, u"リセットまで1時間0分"_s},
        {3600, u"リセットまで1時間0分"_s},
        {3601, u"リセットまで1時間1分"_s},
        {86340, u"リセットまで23時間59分"_s},
        {86400, u"リセットまで1日0時間"_s},
        {90000, u"リセットまで1日1時間"_s},
        {1e12, u"リセットまで1491308日2時間"_s},
    };
    for (const auto& [remaining, text] : cases) {
        const auto until = remaining ? std::optional(windowNow + *remaining) : std::nullopt;
        EXPECT_EQ(UsageWindowPresentation::resetCountdown(until, windowNow), text) << remaining.value_or(-999);
    }
    EXPECT_EQ(UsageWindowPresentation::resetCountdown(windowNow + 60, Date(nan)), u"リセット予定 未取得"_s);
}

} // namespace
} // namespace vantorel
