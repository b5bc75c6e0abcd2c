#include "sync/presentation/UsageFreshnessPresentation.h"

#include "support/NonFinite.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using namespace Qt::StringLiterals;

using test::inf;
using test::nan;
const Date freshnessNow(800'000'000);

struct FreshnessCase
{
    // Seconds since the update; absent: never updated.
    std::optional<double> elapsed;
    QString age;
    bool stale;
    QString label;
};

TEST(UsageFreshnessPresentationTest, AgeStaleAndLabelAgree)
{
    const std::vector<FreshnessCase> cases = {
        {std::nullopt, u"未取得"_s, false, u"このPCで未取得"_s},
        {0, u"1分未満前"_s, false, u"このPCで取得1分未満前"_s},
        {59.9, u"1分未満前"_s, false, u"このPCで取得1分未満前"_s},
        {60, u"1分前"_s, false, u"このPCで取得1分前"_s},
        {119, u"1分前"_s, false, u"このPCで取得1分前"_s},
        {3599, u"59分前"_s, false, u"このPCで取得59分前"_s},
        {3600, u"60分前"_s, true, u"このPCで取得60分前・古い情報"_s},
        {7200, u"120分前"_s, true, u"このPCで取得120分前・古い情報"_s},
        {86399, u"1439分前"_s, true, u"このPCで取得1439分前・古い情報"_s},
        {86400, u"1日0時間前"_s, true, u"このPCで取得1日0時間前・古い情報"_s},
        {90000, u"1日1時間前"_s, true, u"このPCで取得1日1時間前・古い情報"_s},
        // Far in the past: the minute count stops at its cap instead of overflowing.
        {1e12, u"1491308日2時間前"_s, true, u"このPCで取得1491308日2時間前・古い情報"_s},
        {-0.001, u"時刻を確認"_s, true, u"このPCで取得時刻を確認"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.elapsed.value_or(-999));
        const auto updatedAt = c.elapsed ? std::optional(freshnessNow - *c.elapsed) : std::nullopt;
        EXPECT_EQ(UsageFreshnessPresentation::age(updatedAt, freshnessNow), c.age);
        EXPECT_EQ(UsageFreshnessPresentation::isStale(updatedAt, freshnessNow), c.stale);
        EXPECT_EQ(UsageFreshnessPresentation::label(updatedAt, freshnessNow, false), c.label);
        EXPECT_EQ(UsageFreshnessPresentation::label(updatedAt, freshnessNow, true), c.label + u"・更新できません・最終値"_s);
    }
}

TEST(UsageFreshnessPresentationTest, NonFiniteInstantsNeedATimeCheck)
{
    for (const auto& [updatedAt, current] : std::vector<std::pair<Date, Date>>{
             {Date(nan), freshnessNow}, {Date(inf), freshnessNow}, {Date(-inf), freshnessNow}, {freshnessNow, Date(nan)}, {freshnessNow, Date(inf)}}) {
        EXPECT_EQ(UsageFreshnessPresentation::age(updatedAt, current), u"時刻を確認"_s);
        EXPECT_TRUE(UsageFreshnessPresentation::isStale(updatedAt, current));
        EXPECT_EQ(UsageFreshnessPresentation::label(updatedAt, current, false), u"このPCで取得時刻を確認"_s);
    }
}

} // namespace
} // namespace vantorel
