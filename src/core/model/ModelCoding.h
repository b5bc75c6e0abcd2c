#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantorel {

// Store-form JSON coding of the model records (the documents kept in the settings store).
//
// Every record X declares two free functions in its own header:
//   Json toJson(const X&);
//   std::optional<X> xFromJson(const Json&);      // x = the type name in lowerCamelCase
// toJson writes an object whose keys are the field names; absent optionals are left out, dates
// are numbers of seconds since 2001-01-01 (json::storeDateValue), UUIDs upper-case text and
// enumerations their raw values. The decoder follows the platform coder the stored documents
// come from: nullopt when the value is not an object, when a required key is missing or null, or
// when any present key holds the wrong type or an unknown enumeration value; null optionals read
// as absent and unknown keys are ignored. A stored value that does not decode therefore reads as
// absent. Write the bytes with json::write(value, json::Form::store); a NaN or infinite number is
// refused there with JsonEncodeError, which callers treat as "write nothing".
// Lists of records use toJsonArray and listFromJson below (listFromJsonSkippingInvalid for the
// histories). Enumerations with raw values have
// rawValue(x) and xFromRaw(text). AppSettings alone decodes key by key: a bad key takes its
// default and only a non-object fails.

// Reads the fields of one stored object; the first missing required field or wrongly typed field
// marks the whole record as undecodable (ok() turns false) and later reads return defaults.
class FieldReader
{
public:
    explicit FieldReader(const Json& object);

    bool ok() const { return m_ok; }

    QString string(std::string_view key);
    std::optional<QString> optionalString(std::string_view key);
    bool boolean(std::string_view key);
    std::optional<bool> optionalBoolean(std::string_view key);
    double number(std::string_view key);
    std::optional<double> optionalNumber(std::string_view key);
    std::int64_t integer(std::string_view key);
    std::optional<std::int64_t> optionalInteger(std::string_view key);
    Date date(std::string_view key);
    std::optional<Date> optionalDate(std::string_view key);
    QUuid uuid(std::string_view key);

    // A string enumeration decoded with its xFromRaw function.
    template <typename E>
    E enumeration(std::string_view key, std::optional<E> (*fromRaw)(const QString&), E fallback)
    {
        const auto raw = string(key);
        return m_ok ? take(fromRaw(raw), fallback) : fallback;
    }

    template <typename E>
    std::optional<E> optionalEnumeration(std::string_view key, std::optional<E> (*fromRaw)(const QString&))
    {
        const auto raw = optionalString(key);
        if (!raw) {
            return std::nullopt;
        }
        auto value = fromRaw(*raw);
        if (!value) {
            m_ok = false;
        }
        return value;
    }

    // A nested record decoded with its xFromJson function.
    template <typename T>
    std::optional<T> optionalRecord(std::string_view key, std::optional<T> (*decode)(const Json&))
    {
        const Json* value = present(key);
        if (!value) {
            return std::nullopt;
        }
        auto record = decode(*value);
        if (!record) {
            m_ok = false;
        }
        return record;
    }

    template <typename T>
    std::optional<QList<T>> optionalList(std::string_view key, std::optional<T> (*decode)(const Json&));

    template <typename T>
    QList<T> list(std::string_view key, std::optional<T> (*decode)(const Json&))
    {
        if (!present(key)) {
            m_ok = false;
            return {};
        }
        return optionalList(key, decode).value_or(QList<T>());
    }

private:
    const Json* present(std::string_view key) const;
    const Json* required(std::string_view key);

    template <typename T>
    std::optional<T> optionalValue(std::string_view key, std::optional<T> (*get)(const Json&, std::string_view));
    template <typename T>
    T requiredValue(std::string_view key, std::optional<T> (*get)(const Json&, std::string_view), T fallback);

    template <typename T>
    T take(std::optional<T> value, T fallback)
    {
        if (!value) {
            m_ok = false;
            return fallback;
        }
        return *value;
    }

    const Json& m_object;
    bool m_ok;
};

template <typename T>
Json toJsonArray(const QList<T>& items)
{
    Json array = Json::array();
    for (const T& item : items) {
        array.push_back(toJson(item));
    }
    return array;
}

// All elements or nothing: one element that does not decode fails the list, as it fails the
// document that holds it.
template <typename T>
std::optional<QList<T>> listFromJson(const Json& value, std::optional<T> (*decode)(const Json&))
{
    if (!value.is_array()) {
        return std::nullopt;
    }
    QList<T> items;
    items.reserve(static_cast<qsizetype>(value.size()));
    for (const Json& element : value) {
        auto item = decode(element);
        if (!item) {
            return std::nullopt;
        }
        items.append(std::move(*item));
    }
    return items;
}

// Keeps the elements that decode and drops the others, so that one damaged or newer-format entry
// of a long-lived history does not cost every other entry; nullopt only for a non-array.
template <typename T>
std::optional<QList<T>> listFromJsonSkippingInvalid(const Json& value, std::optional<T> (*decode)(const Json&))
{
    if (!value.is_array()) {
        return std::nullopt;
    }
    QList<T> items;
    items.reserve(static_cast<qsizetype>(value.size()));
    for (const Json& element : value) {
        if (auto item = decode(element)) {
            items.append(std::move(*item));
        }
    }
    return items;
}

template <typename T>
std::optional<QList<T>> FieldReader::optionalList(std::string_view key, std::optional<T> (*decode)(const Json&))
{
    const Json* value = present(key);
    if (!value) {
        return std::nullopt;
    }
    auto items = listFromJson(*value, decode);
    if (!items) {
        m_ok = false;
    }
    return items;
}

namespace coding {

inline void putString(Json& object, const char* key, const std::optional<QString>& value)
{
    if (value) {
        object[key] = json::str(*value);
    }
}

inline void putDate(Json& object, const char* key, const std::optional<Date>& value)
{
    if (value) {
        object[key] = json::storeDateValue(*value);
    }
}

template <typename T>
void putValue(Json& object, const char* key, const std::optional<T>& value)
{
    if (value) {
        object[key] = *value;
    }
}

} // namespace coding
} // namespace vantorel
