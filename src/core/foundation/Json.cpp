#include "core/foundation/Json.h"

#include "core/foundation/UuidText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace vantorel::json {

std::optional<Json> parse(const QByteArray& bytes)
{
    Json value = Json::parse(bytes.constBegin(), bytes.constEnd(), nullptr, false);
    if (value.is_discarded()) {
        return std::nullopt;
    }
    return value;
}

Json parseOrThrow(const QByteArray& bytes)
{
    try {
        return Json::parse(bytes.constBegin(), bytes.constEnd());
    } catch (const Json::exception& error) {
        throw JsonDecodeError(error.what());
    }
}

const Json* member(const Json& object, std::string_view key)
{
    if (!object.is_object()) {
        return nullptr;
    }
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        return nullptr;
    }
    return &*it;
}

FieldState stringState(const Json& object, std::string_view key)
{
    if (!object.is_object()) {
        return FieldState::absent;
    }
    const auto it = object.find(key);
    if (it == object.end()) {
        return FieldState::absent;
    }
    if (it->is_null()) {
        return FieldState::null;
    }
    return it->is_string() ? FieldState::present : FieldState::wrongType;
}

std::optional<QString> string(const Json& object, std::string_view key)
{
    const Json* value = member(object, key);
    if (!value || !value->is_string()) {
        return std::nullopt;
    }
    return QString::fromStdString(value->get_ref<const std::string&>());
}

std::optional<bool> boolean(const Json& object, std::string_view key)
{
    const Json* value = member(object, key);
    if (!value || !value->is_boolean()) {
        return std::nullopt;
    }
    return value->get<bool>();
}

std::optional<double> number(const Json& object, std::string_view key)
{
    const Json* value = member(object, key);
    if (!value || !value->is_number()) {
        return std::nullopt;
    }
    return value->get<double>();
}

std::optional<std::int64_t> integer(const Json& object, std::string_view key)
{
    const Json* value = member(object, key);
    if (!value) {
        return std::nullopt;
    }
    if (value->is_number_integer() && !value->is_number_unsigned()) {
        return value->get<std::int64_t>();
    }
    if (value->is_number_unsigned()) {
        const auto u = value->get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(u);
    }
    if (value->is_number_float()) {
        const double d = value->get<double>();
        // 2^63 is exactly representable; anything at or above it does not fit.
        if (std::isfinite(d) && std::trunc(d) == d && d >= -9223372036854775808.0 && d < 9223372036854775808.0) {
            return static_cast<std::int64_t>(d);
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> unsignedInteger(const Json& object, std::string_view key)
{
    const Json* value = member(object, key);
    if (!value) {
        return std::nullopt;
    }
    if (value->is_number_unsigned()) {
        return value->get<std::uint64_t>();
    }
    if (value->is_number_integer()) {
        const auto i = value->get<std::int64_t>();
        if (i < 0) {
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(i);
    }
    if (value->is_number_float()) {
        const double d = value->get<double>();
        if (std::isfinite(d) && std::trunc(d) == d && d >= 0.0 && d < 18446744073709551616.0) {
            return static_cast<std::uint64_t>(d);
        }
    }
    return std::nullopt;
}

std::optional<Date> storeDate(const Json& object, std::string_view key)
{
    const auto seconds = number(object, key);
    if (!seconds) {
        return std::nullopt;
    }
    return Date(*seconds);
}

std::optional<Date> isoDate(const Json& object, std::string_view key)
{
    const auto text = string(object, key);
    if (!text) {
        return std::nullopt;
    }
    return Date::fromIso8601Lenient(*text);
}

std::optional<QUuid> uuid(const Json& object, std::string_view key)
{
    const auto text = string(object, key);
    if (!text) {
        return std::nullopt;
    }
    return parseUuid(*text);
}

Json storeDateValue(Date date)
{
    return date.timeIntervalSinceReferenceDate();
}

Json isoDateValue(Date date)
{
    if (!date.isFinite()) {
        throw JsonEncodeError("date is not finite");
    }
    return date.iso8601().toStdString();
}

Json uuidValue(const QUuid& value)
{
    return uuidText(value).toStdString();
}

namespace {

void writeString(QByteArray& out, const std::string& text, Form form)
{
    static constexpr char hex[] = "0123456789abcdef";
    out.append('"');
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '/':
            if (form == Form::sync) {
                out.append("\\/");
            } else {
                out.append('/');
            }
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\f':
            out.append("\\f");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            if (c < 0x20) {
                out.append("\\u00");
                out.append(hex[c >> 4]);
                out.append(hex[c & 0xF]);
            } else {
                out.append(ch);
            }
        }
    }
    out.append('"');
}

template<typename Int>
void writeInteger(QByteArray& out, Int value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, static_cast<qsizetype>(result.ptr - buffer));
}

void writeValue(QByteArray& out, const Json& value, Form form)
{
    switch (value.type()) {
    case Json::value_t::null:
        out.append("null");
        break;
    case Json::value_t::boolean:
        out.append(value.get<bool>() ? "true" : "false");
        break;
    case Json::value_t::number_integer:
        writeInteger(out, value.get<std::int64_t>());
        break;
    case Json::value_t::number_unsigned:
        writeInteger(out, value.get<std::uint64_t>());
        break;
    case Json::value_t::number_float: {
        const double d = value.get<double>();
        if (!std::isfinite(d)) {
            throw JsonEncodeError("number is not finite");
        }
        out.append(shortestDoubleText(d).toLatin1());
        break;
    }
    case Json::value_t::string:
        writeString(out, value.get_ref<const std::string&>(), form);
        break;
    case Json::value_t::array: {
        out.append('[');
        bool first = true;
        for (const Json& element : value) {
            if (!first) {
                out.append(',');
            }
            first = false;
            writeValue(out, element, form);
        }
        out.append(']');
        break;
    }
    case Json::value_t::object: {
        // nlohmann::json keeps keys in a std::map: iteration is already byte order.
        out.append('{');
        bool first = true;
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (!first) {
                out.append(',');
            }
            first = false;
            writeString(out, it.key(), form);
            out.append(':');
            writeValue(out, it.value(), form);
        }
        out.append('}');
        break;
    }
    case Json::value_t::binary:
    case Json::value_t::discarded:
        throw JsonEncodeError("value has no JSON form");
    }
}

} // namespace

QByteArray write(const Json& value, Form form)
{
    QByteArray out;
    writeValue(out, value, form);
    return out;
}

} // namespace vantorel::json
