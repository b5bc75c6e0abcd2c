#include "core/foundation/Date.h"
#include "core/foundation/UuidText.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vantorel;

TEST(DateTest, ConvertsBetweenReferenceAndUnixSeconds)
{
    const Date epoch = Date::fromUnixSeconds(0);
    EXPECT_EQ(epoch.timeIntervalSinceReferenceDate(), -978307200.0);
    EXPECT_EQ(Date(0).timeIntervalSince1970(), 978307200.0);
    EXPECT_EQ(Date(10) - Date(4), 6.0);
    EXPECT_LT(Date(1), Date(2));
    EXPECT_EQ(Date(5).addingTimeInterval(2.5), Date(7.5));
    const Date nan(std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(nan.isFinite());
    EXPECT_FALSE(nan == nan);
    EXPECT_FALSE(nan < Date(0) || nan > Date(0));
}

TEST(DateTest, WritesIso8601WithWholeSecondsInUtc)
{
    const Date date = Date::fromUnixSeconds(1769850300.0); // 2026-01-31T09:05:00Z
    EXPECT_EQ(date.iso8601(), QStringLiteral("2026-01-31T09:05:00Z"));
    EXPECT_EQ(date.addingTimeInterval(0.25).iso8601(), QStringLiteral("2026-01-31T09:05:00Z"));
    EXPECT_EQ(date.addingTimeInterval(0.999).iso8601(), QStringLiteral("2026-01-31T09:05:00Z"));
    // Before 1970 the fraction still goes toward the earlier second.
    EXPECT_EQ(Date::fromUnixSeconds(-0.5).iso8601(), QStringLiteral("1969-12-31T23:59:59Z"));
    EXPECT_TRUE(Date(std::numeric_limits<double>::infinity()).iso8601().isEmpty());
    // The hand-made calendar agrees with Qt's over leap days, century rules and the year range.
    for (const qint64 seconds : {-62135596800LL, -11644473600LL, -1LL, 951782400LL, 951868799LL, 4107542400LL,
                                 253402300799LL, 253402300800LL, -62135596801LL}) {
        EXPECT_EQ(Date::fromUnixSeconds(double(seconds)).iso8601(),
                  QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
                      + QLatin1Char('Z'))
            << seconds;
    }
}

TEST(DateTest, ParsesIso8601StrictlyAndLeniently)
{
    const auto strict = Date::fromIso8601(u"2026-01-31T09:05:00Z");
    ASSERT_TRUE(strict);
    EXPECT_EQ(strict->timeIntervalSince1970(), 1769850300.0);

    for (const char16_t* bad : {u"2026-01-31T09:05:00", u"2026-01-31 09:05:00Z", u"2026-02-30T09:05:00Z",
                                u"2026-01-31T24:00:00Z", u"2026-01-31T09:05:00.5Z", u"2026-01-31T09:05:00+09:00",
                                u"2026-1-31T09:05:00Z", u"2026-01-31T09:05:00Zx", u""}) {
        EXPECT_FALSE(Date::fromIso8601(bad)) << QString::fromUtf16(bad).toStdString();
    }

    const auto fractional = Date::fromIso8601Lenient(u"2026-01-31T09:05:00.250Z");
    ASSERT_TRUE(fractional);
    EXPECT_DOUBLE_EQ(fractional->timeIntervalSince1970(), 1769850300.25);
    const auto offset = Date::fromIso8601Lenient(u"2026-01-31T18:05:00+09:00");
    ASSERT_TRUE(offset);
    EXPECT_EQ(offset->timeIntervalSince1970(), 1769850300.0);
    const auto compactOffset = Date::fromIso8601Lenient(u"2026-01-31T04:05:00-0500");
    ASSERT_TRUE(compactOffset);
    EXPECT_EQ(compactOffset->timeIntervalSince1970(), 1769850300.0);
    EXPECT_FALSE(Date::fromIso8601Lenient(u"2026-01-31T09:05:00.Z"));
}

TEST(DateTest, TruncatesToWholeUnixSeconds)
{
    EXPECT_EQ(Date::fromUnixSeconds(100.75).truncatedToWholeUnixSeconds(), Date::fromUnixSeconds(100));
    EXPECT_EQ(Date::fromUnixSeconds(-1.25).truncatedToWholeUnixSeconds(), Date::fromUnixSeconds(-2));
}

TEST(DateTest, ConvertsToAndFromQDateTime)
{
    const QDateTime dt = QDateTime::fromMSecsSinceEpoch(1769850300123, QTimeZone::utc());
    const Date date = Date::fromQDateTime(dt);
    EXPECT_DOUBLE_EQ(date.timeIntervalSince1970(), 1769850300.123);
    EXPECT_EQ(date.toQDateTime(), dt);
    EXPECT_FALSE(Date(std::numeric_limits<double>::quiet_NaN()).toQDateTime().isValid());
}

TEST(DateTest, DescribesDoublesAsSwiftDoes)
{
    const struct
    {
        double value;
        const char* text;
    } cases[] = {
        {1772323200.0, "1772323200.0"}, {12.5, "12.5"}, {0.1, "0.1"}, {0.0, "0.0"}, {-0.0, "-0.0"},
        {-3.0, "-3.0"}, {1e16, "1e+16"}, {1234567890123456.0, "1234567890123456.0"}, {0.0001, "0.0001"},
        {0.00001, "1e-05"}, {1.5e-7, "1.5e-07"}, {1e100, "1e+100"}, {0.1 + 0.2, "0.30000000000000004"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"}, {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(swiftDoubleDescription(c.value).toStdString(), c.text);
    }
    EXPECT_EQ(shortestDoubleText(42.0), QStringLiteral("42"));
    EXPECT_EQ(shortestDoubleText(0.1), QStringLiteral("0.1"));
    EXPECT_EQ(shortestDoubleText(-2.5), QStringLiteral("-2.5"));
    EXPECT_EQ(shortestDoubleText(1e16), QStringLiteral("1e+16"));
}

TEST(UuidTextTest, WritesUpperCaseAndParsesBothCases)
{
    const QUuid uuid = QUuid::fromString(u"e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    EXPECT_EQ(uuidText(uuid), QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
    EXPECT_EQ(parseUuid(u"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"), uuid);
    EXPECT_EQ(parseUuid(u"e621e1f8-c36c-495a-93fc-0c247a3e6e5f"), uuid);
    EXPECT_EQ(parseUuid(u"{e621e1f8-c36c-495a-93fc-0c247a3e6e5f}"), uuid);
    EXPECT_FALSE(parseUuidStrict(u"{e621e1f8-c36c-495a-93fc-0c247a3e6e5f}"));
    EXPECT_FALSE(parseUuidStrict(u"e621e1f8c36c495a93fc0c247a3e6e5f"));
    EXPECT_FALSE(parseUuidStrict(u"e621e1f8-c36c-495a-93fc-0c247a3e6e5g"));
    EXPECT_FALSE(parseUuidStrict(u" e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
    EXPECT_FALSE(parseUuid(u""));
}
