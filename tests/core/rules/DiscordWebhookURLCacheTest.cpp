#include "core/rules/DiscordWebhookURLCache.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantorel {
namespace {

using Read = SecureValueReadResult;
using Resolution = DiscordWebhookURLResolution;

struct CacheCase
{
    const char* name;
    std::vector<Read> reads;
    Resolution expected;
};

void PrintTo(const CacheCase& c, std::ostream* os)
{
    *os << c.name;
}

class DiscordWebhookURLCacheSequence : public testing::TestWithParam<CacheCase>
{
};

TEST_P(DiscordWebhookURLCacheSequence, LastResolutionFollowsTheReads)
{
    DiscordWebhookURLCache cache;
    Resolution last;
    for (const Read& read : GetParam().reads)
        last = cache.resolve(read);
    EXPECT_EQ(last, GetParam().expected);
}

const QString urlA = QStringLiteral("https://discord.com/api/webhooks/1/a");
const QString urlB = QStringLiteral("https://discord.com/api/webhooks/2/b");

INSTANTIATE_TEST_SUITE_P(
    Reads, DiscordWebhookURLCacheSequence,
    testing::Values(
        CacheCase{"freshUnavailable", {Read::temporarilyUnavailable()}, Resolution::temporarilyUnavailable()},
        CacheCase{"valueIsFromStorage",
                  {Read::value(urlA)},
                  Resolution::available(urlA, DiscordWebhookURLSource::secureStorage)},
        CacheCase{"unavailableFallsBackToMemory",
                  {Read::value(urlA), Read::temporarilyUnavailable()},
                  Resolution::available(urlA, DiscordWebhookURLSource::memory)},
        CacheCase{"memorySurvivesRepeatedUnavailable",
                  {Read::value(urlA), Read::temporarilyUnavailable(), Read::temporarilyUnavailable()},
                  Resolution::available(urlA, DiscordWebhookURLSource::memory)},
        CacheCase{"missingForgets",
                  {Read::value(urlA), Read::missing(), Read::temporarilyUnavailable()},
                  Resolution::temporarilyUnavailable()},
        CacheCase{"missingIsMissing", {Read::value(urlA), Read::missing()}, Resolution::missing()},
        CacheCase{"emptyTextIsAValue",
                  {Read::value(QString()), Read::temporarilyUnavailable()},
                  Resolution::available(QString(), DiscordWebhookURLSource::memory)},
        CacheCase{"secondValueWins",
                  {Read::value(urlA), Read::value(urlB), Read::temporarilyUnavailable()},
                  Resolution::available(urlB, DiscordWebhookURLSource::memory)}),
    [](const testing::TestParamInfo<CacheCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace vantorel
