#include "core/foundation/Json.h"
#include "core/foundation/JsonArrayElements.h"

#include <QList>

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

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

TEST(JsonWriterTest, WritesDoublesInTheirShortestForm)
{
    const struct
    {
        double value;
        const char* text;
    } cases[] = {
        {-0.0, "-0"}, {100.0, "100"}, {0.0001, "0.0001"}, {0.00001, "1e-05"}, {1.5e-7, "1.5e-07"},
        {-2.5e20, "-2.5e+20"}, {9999999999999998.0, "9999999999999998"}, {1e15, "1000000000000000"},
        {123456789.125, "123456789.125"}, {0.1 + 0.2, "0.30000000000000004"}, {5e-324, "5e-324"},
        {1.7976931348623157e308, "1.7976931348623157e+308"}, {-0.00012, "-0.00012"}, {1e-100, "1e-100"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(written(Json(c.value)), c.text) << c.text;
    }
}

// Every written double reads back as the same bits, across magnitudes and digit counts.
TEST(JsonWriterTest, DoublesRoundTripExactly)
{
    std::uint64_t state = 0x2545F4914F6CDD1DULL;
    for (int i = 0; i < 20'000; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        double value = 0;
        const std::uint64_t bits = state & 0x7FEFFFFFFFFFFFFFULL; // finite
        std::memcpy(&value, &bits, sizeof value);
        if (i % 2 == 1) {
            value = static_cast<double>(state % 1'000'000) / 1000.0; // short decimal fractions
        }
        const std::string text = written(Json(value));
        double back = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(result.ptr, text.data() + text.size()) << text;
        ASSERT_EQ(back, value) << text;
    }
}

// Runs without escapes are copied whole; escapes at either end, side by side, and a document far
// larger than any first guess of its size must still come out exactly.
TEST(JsonWriterTest, EscapesAtRunBoundariesAndLongDocuments)
{
    EXPECT_EQ(written(Json("\"\n")), R"("\"\n")");
    EXPECT_EQ(written(Json("\x1f/")), R"("\u001f\/")");
    EXPECT_EQ(written(Json("ab\x7f\xc3\xa9")), "\"ab\x7f\xc3\xa9\"");
    EXPECT_EQ(written(Json(std::string())), R"("")");

    Json list = Json::array();
    std::string expected = "[";
    for (int i = 0; i < 5'000; ++i) {
        const std::string text(static_cast<std::size_t>(i % 97), 'x');
        list.push_back({{"t", text + "\t"}, {"n", i}});
        expected += (i ? "," : "") + std::string(R"({"t":")") + text + R"(\t","n":)" + std::to_string(i) + "}";
    }
    expected += "]";
    EXPECT_EQ(written(list, json::Form::store), expected);
}

// Written texts are often kept (stored values, remembered encodings): the buffer's doubling must
// not stay with them.
TEST(JsonWriterTest, WrittenTextKeepsNoGrowthSlack)
{
    for (const std::size_t length : {10u, 70u, 200u, 5'000u}) {
        const QByteArray bytes = json::write(Json{{"text", std::string(length, 'x')}}, json::Form::sync);
        EXPECT_EQ(bytes.size(), qsizetype(length + 11));
        EXPECT_LE(bytes.capacity() - bytes.size(), 32) << length;
    }
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

TEST(JsonReaderTest, LongStringsReadAsTheCharacterByCharacterParseReadsThem)
{
    const std::string plain(2'000, 'A');
    const std::string base64 = std::string(1'500, 'Q') + "+/==";
    const std::string escapedText = std::string(1'500, 'e') + "\\\"\\n";
    const std::string accented = std::string(1'500, 'u') + "\xc3\xa9";
    const QByteArray text = QByteArray::fromStdString("{\"" + plain + "\": \"" + base64 + "\", \"list\": [\"" + plain
                                                      + "\", \"short\", \"" + escapedText + "\", \"" + accented
                                                      + "\", {\"" + base64 + "\": 1}], \"n\": 1.5}");
    const auto document = json::parse(text);
    ASSERT_TRUE(document);
    Json expected = Json::object();
    expected[plain] = base64;
    expected["list"] = Json::array({plain, "short", std::string(1'500, 'e') + "\"\n", accented, Json{{base64, 1}}});
    expected["n"] = 1.5;
    EXPECT_EQ(written(*document), written(expected));

    // A fault after a long string is reported at its place in the text as given.
    for (const std::string& bad : {"[\"" + plain + "\",]", "{\"a\":\"" + plain + "\"}x", "{\"a\":\"" + plain + "\"",
                                   "[\"" + plain + "\x01\"]", "[\"" + plain + "\", \"" + plain}) {
        EXPECT_FALSE(json::parse(QByteArray::fromStdString(bad)));
        std::string reference;
        try {
            const auto accepted = nlohmann::json::parse(bad);
            ADD_FAILURE() << "the reference parser accepted " << accepted.size();
        } catch (const nlohmann::json::exception& error) {
            reference = error.what();
        }
        try {
            json::parseOrThrow(QByteArray::fromStdString(bad));
            ADD_FAILURE() << "accepted";
        } catch (const JsonDecodeError& error) {
            EXPECT_EQ(std::string(error.what()), reference);
        }
    }
}

namespace {
// The elements parseArrayElements hands over, written back in the store form; none if it fails.
std::optional<QList<QByteArray>> elementsOf(const QByteArray& bytes)
{
    QList<QByteArray> texts;
    if (!json::parseArrayElements(bytes, [&](const Json& element) { texts.append(json::write(element, json::Form::store)); }))
        return std::nullopt;
    return texts;
}
} // namespace

TEST(JsonReaderTest, ArrayElementsArriveOneByOneAsTheWholeParseWouldGiveThem)
{
    const QByteArray text = R"([ {"b":[1,{"c":null}],"a":"x"}, 2.5, "s", [], [[3]], {}, true, null, -4, 18446744073709551615 ])";
    const auto elements = elementsOf(text);
    ASSERT_TRUE(elements);
    QList<QByteArray> whole;
    for (const Json& element : json::parseOrThrow(text))
        whole.append(json::write(element, json::Form::store));
    EXPECT_EQ(*elements, whole);
    EXPECT_EQ(elementsOf("[]"), QList<QByteArray>());
}

TEST(JsonReaderTest, ArrayElementsRefuseWhatIsNotOneArrayWithinTheBound)
{
    for (const char* bad : {"", "{}", "{\"a\":[1]}", "3", "\"s\"", "[1,]", "[{\"a\":1}", "[1]x", "[1][2]", "[\"\xff\"]"}) {
        EXPECT_FALSE(elementsOf(QByteArray(bad))) << bad;
    }
    const auto nested = [](std::size_t depth) -> QByteArray {
        return QByteArray(qsizetype(depth) - 1, '[') + "{\"a\":1}" + QByteArray(qsizetype(depth) - 1, ']');
    };
    EXPECT_TRUE(elementsOf(nested(json::maximumNestingDepth)));
    EXPECT_FALSE(elementsOf(nested(json::maximumNestingDepth + 1)));
}
