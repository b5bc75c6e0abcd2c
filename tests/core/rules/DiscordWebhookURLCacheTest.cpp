#include "core/rules/DiscordWebhookURLCache.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantorel {
namespace {

using Read = SecureValueReadResult;
using Resolution = DiscordWebhookURLResolution;

TEST(DiscordWebhookURLCache, LastResolutionFollowsTheReads)
{
    struct Case
    {
        const char* name;
        std::vector<Read> reads;
        Resolution expected;
    };
    const QString urlA = QStringLiteral("https://discord.com/api/webhooks/1/a");
    const QString urlB = QStringLiteral("https://discord.com/api/webhooks/2/b");
    const Read unavailable = Read::temporarilyUnavailable();
    const auto fromMemory = [](const QString& url) { return Resolution::available(url, DiscordWebhookURLSource::memory); };
    const Case cases[] = {
        {"freshUnavailable", {unavailable}, Resolution::temporarilyUnavailable()},
        {"valueIsFromStorage", {Read::value(urlA)}, Resolution::available(urlA, DiscordWebhookURLSource::secureStorage)},
        {"unavailableFallsBackToMemory", {Read::value(urlA), unavailable}, fromMemory(urlA)},
        {"memorySurvivesRepeatedUnavailable", {Read::value(urlA), unavailable, unavailable}, fromMemory(urlA)},
        {"missingForgets", {Read::value(urlA), Read::missing(), unavailable}, Resolution::temporarilyUnavailable()},
        {"missingIsMissing", {Read::value(urlA), Read::missing()}, Resolution::missing()},
        {"emptyTextIsAValue", {Read::value(QString()), unavailable}, fromMemory(QString())},
        {"secondValueWins", {Read::value(urlA), Read::value(urlB), unavailable}, fromMemory(urlB)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DiscordWebhookURLCache cache;
        Resolution last;
        for (const Read& read : c.reads)
            last = cache.resolve(read);
        EXPECT_EQ(last, c.expected);
    }
}

} // namespace
} // namespace vantorel
