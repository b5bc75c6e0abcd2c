#include "sync/model/SyncJsonReader.h"

#include "core/foundation/UuidText.h"

#include <limits>

namespace vantorel {

SyncJsonReader::SyncJsonReader(const Json& json, std::string_view record)
    : m_json(json)
    , m_record(record)
{
    if (!m_json.is_object())
        throw JsonDecodeError(m_record + ": expected an object");
}

bool SyncJsonReader::present(std::string_view key) const
{
    return json::member(m_json, key) != nullptr;
}

void SyncJsonReader::fail(std::string_view key, const std::string& reason) const
{
    throw JsonDecodeError(std::string(key) + ": " + reason);
}

const Json& SyncJsonReader::required(std::string_view key) const
{
    const auto it = m_json.find(key);
    if (it == m_json.end())
        fail(key, "missing in " + m_record);
    if (it->is_null())
        fail(key, "null in " + m_record);
    return *it;
}

QString SyncJsonReader::string(std::string_view key) const
{
    const Json& value = required(key);
    if (!value.is_string())
        fail(key, "expected a string");
    return QString::fromStdString(value.get_ref<const std::string&>());
}

std::optional<QString> SyncJsonReader::optionalString(std::string_view key) const
{
    return present(key) ? std::optional(string(key)) : std::nullopt;
}

bool SyncJsonReader::boolean(std::string_view key) const
{
    const Json& value = required(key);
    if (!value.is_boolean())
        fail(key, "expected true or false");
    return value.get<bool>();
}

std::int64_t SyncJsonReader::integer(std::string_view key) const
{
    const Json& value = required(key);
    if (value.is_number_unsigned()) {
        const auto raw = value.get<std::uint64_t>();
        if (raw > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            fail(key, "integer out of range");
        return static_cast<std::int64_t>(raw);
    }
    if (!value.is_number_integer())
        fail(key, "expected an integer");
    return value.get<std::int64_t>();
}

std::optional<std::int64_t> SyncJsonReader::optionalInteger(std::string_view key) const
{
    return present(key) ? std::optional(integer(key)) : std::nullopt;
}

std::uint64_t SyncJsonReader::unsignedInteger(std::string_view key) const
{
    const Json& value = required(key);
    if (!value.is_number_unsigned())
        fail(key, value.is_number_integer() ? "integer out of range" : "expected an unsigned integer");
    return value.get<std::uint64_t>();
}

double SyncJsonReader::number(std::string_view key) const
{
    const Json& value = required(key);
    if (!value.is_number())
        fail(key, "expected a number");
    return value.get<double>();
}

std::optional<double> SyncJsonReader::optionalNumber(std::string_view key) const
{
    return present(key) ? std::optional(number(key)) : std::nullopt;
}

Date SyncJsonReader::date(std::string_view key) const
{
    const QString text = string(key);
    const auto date = Date::fromIso8601(text);
    if (!date)
        fail(key, "expected a date like 2026-01-31T09:05:00Z");
    return *date;
}

std::optional<Date> SyncJsonReader::optionalDate(std::string_view key) const
{
    return present(key) ? std::optional(date(key)) : std::nullopt;
}

QUuid SyncJsonReader::uuid(std::string_view key) const
{
    const QString text = string(key);
    const auto uuid = parseUuidStrict(text);
    if (!uuid)
        fail(key, "expected a UUID");
    return *uuid;
}

QByteArray SyncJsonReader::bytes(std::string_view key) const
{
    const QByteArray text = string(key).toLatin1();
    // Qt tolerates missing padding; the sync form always pads, so anything else is malformed.
    if (text.size() % 4 != 0)
        fail(key, "Base64 text without padding");
    const auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        fail(key, "malformed Base64 text");
    return decoded.decoded;
}

} // namespace vantorel
