#include "core/foundation/Json.h"
#include "core/foundation/SettingsValueCoding.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

namespace vantorel {
namespace {

using Value = SettingsValueCoding::Value;

// Bitwise for numbers, as the file keeps them: NaN equals itself, -0.0 differs from 0.0.
bool sameBits(const Value& a, const Value& b)
{
    const auto number = [](const Value& value) -> std::optional<double> {
        if (const double* x = std::get_if<double>(&value))
            return *x;
        if (const Date* x = std::get_if<Date>(&value))
            return x->timeIntervalSinceReferenceDate();
        return std::nullopt;
    };
    if (a.index() != b.index())
        return false;
    if (const auto x = number(a))
        return std::bit_cast<std::uint64_t>(*x) == std::bit_cast<std::uint64_t>(*number(b));
    return a == b;
}

// Every kind, through the file's text and its parser, reads back as it was; data written straight
// into the text reads as the tree's form of it would.
TEST(SettingsValueCoding, EveryKindReadsBackThroughTheFileText)
{
    const Value values[] = {true,
                            std::int64_t{-9'007'199'254'740'993},
                            0.1,
                            3.0,
                            -0.0,
                            std::nan(""),
                            -std::numeric_limits<double>::infinity(),
                            QStringLiteral("5時間枠 \"-0\" \\"),
                            QByteArray("\x00\xff-0", 4),
                            Date(794'045'700.25),
                            Date(-0.0),
                            Date(std::numeric_limits<double>::infinity()),
                            QStringList{QStringLiteral("a"), QString()}};
    for (const Value& value : values) {
        SCOPED_TRACE(json::write(SettingsValueCoding::encode(value), json::Form::store).toStdString());
        const QByteArray text = json::write(SettingsValueCoding::encode(value), json::Form::store);
        const auto decoded = SettingsValueCoding::decode(json::parse(text).value());
        ASSERT_TRUE(decoded);
        EXPECT_TRUE(sameBits(*decoded, value));
        if (const auto* data = std::get_if<QByteArray>(&value)) {
            QByteArray appended;
            SettingsValueCoding::appendData(appended, *data);
            EXPECT_EQ(appended, text);
        }
    }
}

TEST(SettingsValueCoding, AValueOfTheWrongShapeDoesNotDecode)
{
    for (const char* entry : {R"({"type":"bool","value":1})", R"({"type":"integer","value":1.5})",
                              R"({"type":"double","value":"zero"})", R"({"type":"data","value":"Q~=="})",
                              R"({"type":"date","value":null})", R"({"type":"stringList","value":["a",1]})",
                              R"({"type":"colour","value":"red"})", R"({"value":true})", R"({"type":"bool"})"}) {
        SCOPED_TRACE(entry);
        EXPECT_FALSE(SettingsValueCoding::decode(json::parse(QByteArray(entry)).value()));
    }
}

// Only the "value" member of an entry counts, and only when it is the number -0; the last of a
// repeated key or member wins, as in the parsed document.
TEST(SettingsValueCoding, FindsTheKeysWhoseValueMemberIsSpelledMinusZero)
{
    const QByteArray text = R"({
        "plain": {"type": "double", "value": -0},
        "spaced" : { "type" : "date" , "value" :-0 },
        "valueFirst": {"value": -0, "type": "double"},
        "nestedElsewhere": {"type": "double", "value": 0, "note": -0},
        "nestedDeeper": {"type": "double", "value": 0, "extra": {"value": -0, "list": [-0]}},
        "notAZero": {"type": "double", "value": -0.5},
        "exponent": {"type": "double", "value": -0e1},
        "inAString": {"type": "string", "value": "-0"},
        "keyText": {"type": "string", "value": "\"value\": -0"},
        "repeatedMember": {"type": "double", "value": -0, "value": 0},
        "repeatedKey": {"type": "double", "value": -0},
        "repeatedKey": {"type": "double", "value": 0},
        "repeatedKeyLater": {"type": "double", "value": 0},
        "repeatedKeyLater": {"type": "double", "value": -0},
        "esc\u0061ped": {"type": "double", "value": -0},
        "notAnEntry": -0,
        "list": [{"value": -0}]
    })";
    ASSERT_TRUE(json::parse(text));
    const auto keys = SettingsValueCoding::negativeZeroKeys(text);
    EXPECT_EQ(keys, (std::unordered_set<std::string>{"plain", "spaced", "valueFirst", "repeatedKeyLater", "escaped"}));
}

// A zero the parser read as an integer takes the sign the text gave it; nothing else changes.
TEST(SettingsValueCoding, AZeroSpelledMinusZeroKeepsItsSign)
{
    const Json zeroDouble = json::parse(R"({"type":"double","value":0})").value();
    const Json zeroDate = json::parse(R"({"type":"date","value":0})").value();
    const Json floatZero = json::parse(R"({"type":"double","value":0.0})").value();
    const Json zeroInteger = json::parse(R"({"type":"integer","value":0})").value();
    EXPECT_TRUE(SettingsValueCoding::readAsIntegerZero(zeroDouble));
    EXPECT_TRUE(SettingsValueCoding::readAsIntegerZero(zeroDate));
    EXPECT_FALSE(SettingsValueCoding::readAsIntegerZero(floatZero));
    EXPECT_FALSE(SettingsValueCoding::readAsIntegerZero(zeroInteger));
    EXPECT_TRUE(sameBits(*SettingsValueCoding::decode(zeroDouble, true), -0.0));
    EXPECT_TRUE(sameBits(*SettingsValueCoding::decode(zeroDate, true), Date(-0.0)));
    EXPECT_TRUE(sameBits(*SettingsValueCoding::decode(zeroDouble), 0.0));
    EXPECT_TRUE(sameBits(*SettingsValueCoding::decode(zeroInteger, true), std::int64_t{0}));
}

} // namespace
} // namespace vantorel
