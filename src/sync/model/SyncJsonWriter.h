#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantorel {

// Builds one JSON object of a sync document: dates as whole-second UTC text, UUIDs upper case,
// bytes as padded Base64, absent optionals left out. Dates the sync form cannot carry throw
// JsonEncodeError here; numbers that are not finite throw when the document is written.
class SyncJsonWriter
{
public:
    void set(std::string_view key, const QString& value);
    void set(std::string_view key, bool value);
    void set(std::string_view key, std::int64_t value);
    void set(std::string_view key, std::uint64_t value);
    void set(std::string_view key, double value);
    void set(std::string_view key, Date value);
    void set(std::string_view key, const QUuid& value);
    void setBytes(std::string_view key, const QByteArray& value);
    void setJson(std::string_view key, Json value);

    // A list of records, each written with its own toSyncJson.
    template <typename T>
    void set(std::string_view key, const QList<T>& values)
    {
        Json array = Json::array();
        for (const T& value : values)
            array.push_back(toSyncJson(value));
        setJson(key, std::move(array));
    }

    template <typename T>
    void set(std::string_view key, const std::optional<T>& value)
    {
        if (value)
            set(key, *value);
    }

    Json take() { return std::move(m_json); }

    // The text of a date in the sync form; throws JsonEncodeError for a date that is not
    // finite or lies outside the years 1 to 9999, which the form cannot spell.
    static QString dateText(Date date);
    // Whether dateText() can spell the date.
    static bool canWrite(Date date);

private:
    Json m_json = Json::object();
};

} // namespace vantorel
