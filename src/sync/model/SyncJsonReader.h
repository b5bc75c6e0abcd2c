#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantorel {

// Strict reading of one JSON object of a sync document. A required key that is missing or null,
// a value of the wrong type, an integer out of range or with a fraction, a malformed date, UUID
// or Base64 text all throw JsonDecodeError naming the field ("providers[1].statusText: ...").
// For optional fields a missing key and null both read as absent. Unknown keys are ignored.
class SyncJsonReader
{
public:
    // Throws JsonDecodeError unless `json` is an object; `record` names it in messages.
    SyncJsonReader(const Json& json, std::string_view record);

    QString string(std::string_view key) const;
    std::optional<QString> optionalString(std::string_view key) const;
    bool boolean(std::string_view key) const;
    std::int64_t integer(std::string_view key) const;
    std::optional<std::int64_t> optionalInteger(std::string_view key) const;
    std::uint64_t unsignedInteger(std::string_view key) const;
    // Any JSON number (the parser refuses literals beyond the range of a double).
    double number(std::string_view key) const;
    std::optional<double> optionalNumber(std::string_view key) const;
    // Exactly "YYYY-MM-DDTHH:MM:SSZ", the only form sync writers produce.
    Date date(std::string_view key) const;
    std::optional<Date> optionalDate(std::string_view key) const;
    // 36-character hyphenated text, either case.
    QUuid uuid(std::string_view key) const;
    // Standard Base64 with "=" padding.
    QByteArray bytes(std::string_view key) const;

    template <typename Enum>
    Enum enumeration(std::string_view key, std::optional<Enum> (*fromRaw)(QStringView)) const
    {
        const QString raw = string(key);
        if (const auto value = fromRaw(raw))
            return *value;
        fail(key, "unknown value \"" + raw.toStdString() + "\"");
    }

    // A nested record, read with its own fromSyncJson.
    template <typename T>
    T record(std::string_view key) const
    {
        return decodeNested<T>(required(key), key, std::nullopt);
    }

    // A list of records in array order.
    template <typename T>
    QList<T> list(std::string_view key) const
    {
        const Json& array = required(key);
        if (!array.is_array())
            fail(key, "expected an array");
        QList<T> out;
        out.reserve(static_cast<qsizetype>(array.size()));
        std::size_t index = 0;
        for (const Json& element : array) {
            out.append(decodeNested<T>(element, key, index));
            ++index;
        }
        return out;
    }

    // True when the key is there and not null.
    bool present(std::string_view key) const;

    [[noreturn]] void fail(std::string_view key, const std::string& reason) const;

private:
    const Json& required(std::string_view key) const;

    // Failures inside get the place prefixed: "windows[1].state: ...".
    template <typename T>
    static T decodeNested(const Json& json, std::string_view key, std::optional<std::size_t> index)
    {
        T value{};
        try {
            fromSyncJson(json, value);
        } catch (const JsonDecodeError& error) {
            std::string path(key);
            if (index)
                path += '[' + std::to_string(*index) + ']';
            throw JsonDecodeError(path + '.' + error.what());
        }
        return value;
    }

    const Json& m_json;
    std::string m_record;
};

} // namespace vantorel
