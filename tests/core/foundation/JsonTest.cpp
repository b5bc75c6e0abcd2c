#include "core/foundation/Json.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vantorel;

namespace {
std::string written(const Json& value, json::Form form = json::Form::sync)
{
    return json::write(value, form).toStdString();
}
} // namespace

TEST(JsonWriterTest, StoreFormKeepsInsertionOrderSyncFormSortsKeys)
{
    Json object = Json::object();
    object["zeta"] = 1;
    object["alpha"] = Json::array({true, nullptr, "x"});
    object["Beta"] = Json::object({{"b", 2}, {"a", 1}});
    EXPECT_EQ(written(object), R"({"Beta":{"a":1,"b":2},"alpha":[true,null,"x"],"zeta":1})");
    EXPECT_EQ(written(object, json::Form::store), R"({"zeta":1,"alpha":[true,null,"x"],"Beta":{"b":2,"a":1}})");
}

TEST(JsonWriterTest, WritesNumbersExactly)
{
    EXPECT_EQ(written(Json(std::uint64_t{18446744073709551615ULL})), "18446744073709551615");
    EXPECT_EQ(written(Json(std::int64_t{-9223372036854775807LL - 1})), "-9223372036854775808");
    EXPECT_EQ(written(Json(42)), "42");
    EXPECT_EQ(written(Json(42.0)), "42");
    EXPECT_EQ(written(Json(0.1)), "0.1");
    EXPECT_EQ(written(Json(-12.5)), "-12.5");
    EXPECT_EQ(written(Json(1e30)), "1e+30");
    EXPECT_THROW(written(Json(std::numeric_limits<double>::quiet_NaN())), JsonEncodeError);
    EXPECT_THROW(written(Json::array({std::numeric_limits<double>::infinity()})), JsonEncodeError);
}

TEST(JsonWriterTest, EscapesStringsPerForm)
{
    const Json text = "a/b\"c\\d\n\t\x01 日本語 😀";
    EXPECT_EQ(written(text, json::Form::sync), "\"a\\/b\\\"c\\\\d\\n\\t\\u0001 日本語 😀\"");
    EXPECT_EQ(written(text, json::Form::store), "\"a/b\\\"c\\\\d\\n\\t\\u0001 日本語 😀\"");
    // Keys are escaped like values.
    EXPECT_EQ(written(Json::object({{"a/b", 1}})), R"({"a\/b":1})");
}

TEST(JsonWriterTest, RoundTripsThroughTheReader)
{
    const QByteArray text = R"({"a":[1,2.5,"\/x",{"n":null}],"big":18446744073709551615,"neg":-3})";
    const auto parsed = json::parse(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(json::write(*parsed, json::Form::sync), text);
}

TEST(JsonReaderTest, TellsAbsentNullAndWrongTypeApart)
{
    const auto object = json::parse(R"({"s":"x","n":null,"i":3,"f":2.5,"whole":4.0,"b":true,"big":18446744073709551615,"neg":-1})");
    ASSERT_TRUE(object);
    EXPECT_EQ(json::stringState(*object, "s"), json::FieldState::present);
    EXPECT_EQ(json::stringState(*object, "n"), json::FieldState::null);
    EXPECT_EQ(json::stringState(*object, "i"), json::FieldState::wrongType);
    EXPECT_EQ(json::stringState(*object, "missing"), json::FieldState::absent);

    EXPECT_EQ(json::string(*object, "s"), QStringLiteral("x"));
    EXPECT_FALSE(json::string(*object, "i"));
    EXPECT_FALSE(json::boolean(*object, "s"));
    EXPECT_EQ(json::boolean(*object, "b"), true);
    EXPECT_EQ(json::number(*object, "i"), 3.0);
    EXPECT_EQ(json::integer(*object, "whole"), 4);
    EXPECT_FALSE(json::integer(*object, "f"));
    EXPECT_FALSE(json::integer(*object, "big"));
    EXPECT_EQ(json::unsignedInteger(*object, "big"), 18446744073709551615ULL);
    EXPECT_FALSE(json::unsignedInteger(*object, "neg"));
    EXPECT_FALSE(json::number(*object, "n"));
    EXPECT_FALSE(json::string(Json::array(), "s"));
}

TEST(JsonReaderTest, ReadsDatesAndUuids)
{
    const auto object = json::parse(
        R"({"stored":794000000.5,"iso":"2026-01-31T09:05:00Z","bad":"yesterday","id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f"})");
    ASSERT_TRUE(object);
    EXPECT_EQ(json::storeDate(*object, "stored"), Date(794000000.5));
    EXPECT_EQ(json::isoDate(*object, "iso"), Date::fromUnixSeconds(1769850300));
    EXPECT_FALSE(json::isoDate(*object, "bad"));
    ASSERT_TRUE(json::uuid(*object, "id"));
    EXPECT_EQ(json::uuidValue(*json::uuid(*object, "id")), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(json::isoDateValue(Date::fromUnixSeconds(1769850300.75)), "2026-01-31T09:05:00Z");
    EXPECT_THROW(json::isoDateValue(Date(std::numeric_limits<double>::infinity())), JsonEncodeError);
}

TEST(JsonReaderTest, RefusesMalformedInput)
{
    for (const char* bad : {"", "{", "[1,]", "{\"a\":1}x", "\"\xff\"", "nul"}) {
        EXPECT_FALSE(json::parse(QByteArray(bad))) << bad;
    }
    EXPECT_THROW(json::parseOrThrow("{"), JsonDecodeError);
}

TEST(JsonReaderTest, RefusesNestingBeyondTheBound)
{
    const auto nested = [](std::size_t depth) -> QByteArray {
        return QByteArray(qsizetype(depth) - 1, '[') + "{\"a\":1}" + QByteArray(qsizetype(depth) - 1, ']');
    };
    EXPECT_TRUE(json::parse(nested(json::maximumNestingDepth)));
    EXPECT_FALSE(json::parse(nested(json::maximumNestingDepth + 1)));
    EXPECT_THROW(json::parseOrThrow(nested(100'000)), JsonDecodeError);
}
