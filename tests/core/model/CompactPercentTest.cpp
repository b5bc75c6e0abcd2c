#include "ModelTestSupport.h"

#include "core/foundation/AppDiagnostics.h"
#include "core/model/UsageHistoryEntry.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

namespace vantorel {
namespace {

using namespace testing_support;

// Narrowing is spelled out: nothing converts into the compact forms or back out of them.
static_assert(!std::is_convertible_v<double, CompactPercent> && !std::is_constructible_v<CompactPercent, double>);
static_assert(!std::is_convertible_v<std::optional<double>, CompactPercent>);
static_assert(
    !std::is_convertible_v<CompactPercent, std::optional<double>> && !std::is_convertible_v<CompactPercent, double>);
static_assert(!std::is_convertible_v<std::int64_t, CompactVersion> && !std::is_constructible_v<CompactVersion, int>);
static_assert(!std::is_convertible_v<CompactVersion, std::optional<std::int64_t>>);
static_assert(sizeof(CompactPercent) == 4 && sizeof(CompactVersion) == 4);

TEST(CompactPercent, ReadsTheShortDecimalBackAndStopsAtTheFloatLimit)
{
    const double infinity = std::numeric_limits<double>::infinity();
    const std::pair<double, double> cases[] = {
        {12, 12},          {87.5, 87.5},         {33.3, 33.3},         {-0.0, -0.0}, {16'777'217, 16'777'216},
        {33.333333333333336, 33.333332}, {1e39, 3.4028235e38}, {-1e300, -3.4028235e38}, {infinity, infinity},
    };
    for (const auto& [given, read] : cases)
        EXPECT_EQ(std::bit_cast<std::uint64_t>(*CompactPercent::from(given)), std::bit_cast<std::uint64_t>(read))
            << given;
    for (int hundredths = 0; hundredths <= 10'000; ++hundredths)
        ASSERT_EQ(*CompactPercent::from(hundredths / 100.0), hundredths / 100.0) << hundredths;
    // Every reading agrees with std::from_chars of std::to_chars(float)'s shortest text.
    for (int step = -200'000; step <= 200'000; ++step) {
        const float value = static_cast<float>(step * 0.000'731) * (step % 7 == 0 ? 1e4f : 1.0f);
        char text[32];
        double parsed = 0;
        std::from_chars(text, std::to_chars(text, text + sizeof text, value).ptr, parsed);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(*CompactPercent::from(value)), std::bit_cast<std::uint64_t>(parsed))
            << value;
    }

    // Compared as std::optional<double> compares.
    const double notANumber = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(std::isnan(*CompactPercent::from(notANumber)));
    EXPECT_NE(CompactPercent::from(notANumber), CompactPercent::from(notANumber));
    EXPECT_NE(CompactPercent::from(notANumber), CompactPercent());
    EXPECT_EQ(CompactPercent::from(std::optional<double>()), std::nullopt);
    EXPECT_NE(CompactPercent(), CompactPercent::from(0.0));
    EXPECT_EQ(CompactPercent::from(0.0), CompactPercent::from(-0.0));

    // A full-width value is compared with what the compact one reads back, not narrowed to meet it.
    const double longer = 33.333333333333336;
    EXPECT_NE(CompactPercent::from(longer), longer);
    EXPECT_NE(CompactPercent::from(longer), std::optional<double>(longer));
    EXPECT_EQ(CompactPercent::from(longer), std::optional<double>(33.333332));
    EXPECT_EQ(CompactPercent(), std::optional<double>());
    EXPECT_EQ(std::optional<double>(), CompactPercent());
    EXPECT_EQ(CompactPercent::from(longer).toOptional(), std::optional<double>(33.333332));
    EXPECT_EQ(CompactPercent().toOptional(), std::nullopt);
}

TEST(CompactVersion, VersionsBeyondThirtyTwoBitsReadAsAbsentAndStayUnconfirmed)
{
    EXPECT_EQ(CompactVersion::from(std::int64_t(2'147'483'647)), 2'147'483'647);
    EXPECT_FALSE(CompactVersion::from(std::int64_t(2'147'483'648)).has_value());
    EXPECT_FALSE(CompactVersion::from(std::int64_t(-2'147'483'648)).has_value());
    const UsageHistoryEntry huge{QUuid(), MonitoredProvider::codex, referenceTime, 1.0, 2.0, std::int64_t(1) << 32};
    EXPECT_FALSE(huge.periodsAreConfirmed());
    EXPECT_FALSE(storeText(toJson(huge)).contains(u"codexPeriodValidationVersion"));
}

TEST(CompactVersion, AStoredVersionPastThirtyTwoBitsKeepsTheSampleAndIsLogged)
{
    QTemporaryDir logs;
    ASSERT_TRUE(logs.isValid());
    AppDiagnostics::setLogDirectoryForTesting(logs.path());
    const QByteArray prefix = R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","provider":"codex","recordedAt":1,)"
                              R"("weeklyRemainingPercent":50,"codexPeriodValidationVersion":)";
    const auto fitting = usageHistoryEntryFromJson(json::parseOrThrow(prefix + "2147483647}"));
    const auto huge = usageHistoryEntryFromJson(json::parseOrThrow(prefix + "4294967297}"));
    const auto reserved = usageHistoryEntryFromJson(json::parseOrThrow(prefix + "-2147483648}"));
    AppDiagnostics::flush();
    const QByteArray log = test::readFileBytes(logs.filePath(QStringLiteral("Vantorel.log")));
    AppDiagnostics::setLogDirectoryForTesting({});

    ASSERT_TRUE(fitting && huge && reserved);
    EXPECT_EQ(fitting->codexPeriodValidationVersion, 2'147'483'647);
    for (const auto& entry : {*huge, *reserved}) {
        EXPECT_EQ(entry.codexPeriodValidationVersion, std::nullopt);
        EXPECT_FALSE(entry.periodsAreConfirmed());
        EXPECT_EQ(entry.weeklyRemainingPercent, 50.0);
    }
    EXPECT_EQ(log.count("usageHistory.versionOutOfRange"), 2) << log.toStdString();
    EXPECT_TRUE(log.contains("usageHistory.versionOutOfRange id=E621E1F8-C36C-495A-93FC-0C247A3E6E5F "
                             "codexPeriodValidationVersion=4294967297\n"))
        << log.toStdString();
    EXPECT_TRUE(log.contains(" codexPeriodValidationVersion=-2147483648\n")) << log.toStdString();
}

TEST(CompactPercent, TextTheDoubleLayoutWroteReadsAndWritesBackByteForByte)
{
    const QByteArray prefix = R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","provider":"codex","recordedAt":)";
    const QByteArray written[] = {
        prefix + R"(794045700.1234568,"fiveHourRemainingPercent":33.3,"weeklyRemainingPercent":87.5,)"
                 R"("codexPeriodValidationVersion":1})",
        prefix + R"(-1.5e-07,"fiveHourRemainingPercent":12,"weeklyRemainingPercent":0.01})",
        prefix + R"(1,"weeklyRemainingPercent":100,"codexPeriodValidationVersion":0})",
    };
    for (const QByteArray& text : written) {
        const auto entry = usageHistoryEntryFromJson(json::parseOrThrow(text));
        ASSERT_TRUE(entry) << text.toStdString();
        EXPECT_EQ(json::write(toJson(*entry), json::Form::store).toStdString(), text.toStdString());
    }
    // More digits than a float holds round to its seven; values past its range stop at the largest.
    const auto longer = usageHistoryEntryFromJson(
        json::parseOrThrow(prefix + R"(1,"fiveHourRemainingPercent":33.333333333333336,"weeklyRemainingPercent":1e39})"));
    ASSERT_TRUE(longer);
    EXPECT_EQ(json::write(toJson(*longer), json::Form::store).toStdString(),
              QByteArray(prefix + R"(1,"fiveHourRemainingPercent":33.333332,"weeklyRemainingPercent":3.4028235e+38})")
                  .toStdString());
}

} // namespace
} // namespace vantorel
