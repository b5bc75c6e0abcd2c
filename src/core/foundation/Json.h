#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/JsonFwd.h"

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vantorel {

// A decoding failure with the path of the offending field ("providers[1].windows").
class JsonDecodeError : public std::runtime_error
{
public:
    explicit JsonDecodeError(const std::string& what)
        : std::runtime_error(what)
    {
    }
};

// Encoding refused (a NaN or infinite number).
class JsonEncodeError : public std::runtime_error
{
public:
    explicit JsonEncodeError(const std::string& what)
        : std::runtime_error(what)
    {
    }
};

namespace json {

// Arrays and objects nested deeper than this are refused when reading: every reader of outside
// text goes through parse, and a deeper document could exhaust the stack of any recursive walk.
constexpr std::size_t maximumNestingDepth = 128;

// Parses UTF-8 JSON text; nullopt when the bytes are not one valid JSON document within
// maximumNestingDepth. Objects keep their keys in byte order; a repeated key keeps its last value.
std::optional<Json> parse(const QByteArray& bytes);
// Same, but throws JsonDecodeError with the parser's reason.
Json parseOrThrow(const QByteArray& bytes);

// How a key of an object reads: tells absent, null and wrong type apart.
enum class FieldState { absent, null, wrongType, present };

// Lenient typed getters: absent, null or wrong type all give nullopt. `object` that is not an
// object gives nullopt too.
FieldState stringState(const Json& object, std::string_view key);
std::optional<QString> string(const Json& object, std::string_view key);
std::optional<bool> boolean(const Json& object, std::string_view key);
// Any JSON number (integers widened to double).
std::optional<double> number(const Json& object, std::string_view key);
// Integers only: a float with a fraction or out of range is the wrong type; 3.0 reads as 3.
std::optional<std::int64_t> integer(const Json& object, std::string_view key);
std::optional<std::uint64_t> unsignedInteger(const Json& object, std::string_view key);
// Store form date: a number of seconds since 2001-01-01.
std::optional<Date> storeDate(const Json& object, std::string_view key);
// Sync form date: ISO 8601 UTC text (lenient spelling accepted).
std::optional<Date> isoDate(const Json& object, std::string_view key);
std::optional<QUuid> uuid(const Json& object, std::string_view key);
// The member if present and not null.
const Json* member(const Json& object, std::string_view key);

// Conversions for building values.
inline std::string str(const QString& text) { return text.toStdString(); }
inline QString qstr(const std::string& text) { return QString::fromStdString(text); }
Json storeDateValue(Date date);
Json isoDateValue(Date date);
Json uuidValue(const QUuid& uuid);

// Which byte form to write.
//  - store: the settings store's documents; keys in the order they were inserted, "/" unescaped.
//  - sync: documents that cross the wire and are fingerprinted; keys in byte order, "/" written
//    as "\/".
// Both are compact, integers exact up to uint64, doubles in their shortest round-trip text
// without a needless ".0"; NaN and infinities throw JsonEncodeError.
enum class Form { store, sync };

QByteArray write(const Json& value, Form form);

} // namespace json
} // namespace vantorel
