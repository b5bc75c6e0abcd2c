#include "app/viewmodel/StoredHistories.h"
#include "core/model/HistoryRetention.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

const Date now = Date::fromUnixSeconds(1'772'323'200);
const QUuid sampleID = QUuid::fromString(QStringLiteral("{6F1C2D3E-4A5B-4C6D-8E9F-0A1B2C3D4E5F}"));

QByteArray sample(const QByteArray& recordedAt, const QByteArray& id = "6F1C2D3E-4A5B-4C6D-8E9F-0A1B2C3D4E5F")
{
    return R"({"id":")" + id + R"(","provider":"codex","recordedAt":)" + recordedAt
        + R"(,"fiveHourRemainingPercent":40.5,"weeklyRemainingPercent":80.25})";
}

QByteArray secondsAgo(double seconds)
{
    return QByteArray::number((now - seconds).timeIntervalSinceReferenceDate(), 'f', 3);
}

// Only a sample that decodes and that retention keeps comes out; whatever is wrong with the
// others, the rest of the list still reads.
TEST(StoredHistoriesTest, UsageDecodesOnlyTheSamplesRetentionKeeps)
{
    const UsageHistoryEntry kept{sampleID, MonitoredProvider::codex, now - 60, 40.5, 80.25, std::nullopt};
    const struct
    {
        const char* name;
        QByteArray text;
        QList<UsageHistoryEntry> decoded;
    } cases[] = {
        {"kept", '[' + sample(secondsAgo(60)) + ']', {kept}},
        {"pastRetention", '[' + sample(secondsAgo(HistoryRetention::usageRetentionSeconds + 1)) + ']', {}},
        {"ahead", '[' + sample(secondsAgo(-HistoryRetention::usageFutureToleranceSeconds - 1)) + ']', {}},
        {"timeAsText", '[' + sample("\"soon\"") + ',' + sample(secondsAgo(60)) + ']', {kept}},
        {"noTime", R"([{"id":"6F1C2D3E-4A5B-4C6D-8E9F-0A1B2C3D4E5F","provider":"codex"},)" + sample(secondsAgo(60)) + ']',
         {kept}},
        {"badID", '[' + sample(secondsAgo(30), "not-an-id") + ',' + sample(secondsAgo(60)) + ']', {kept}},
        {"notAnArray", sample(secondsAgo(60)), {}},
        {"cutShort", '[' + sample(secondsAgo(60)) + ',', {}},
        {"empty", "", {}},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(StoredHistories::decodeUsage(test.text, now), test.decoded) << test.name;
    }
}

} // namespace
} // namespace vantorel
