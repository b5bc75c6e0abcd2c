#include "sync/cloud/LocalCloudRecordFile.h"

#include "core/foundation/Json.h"
#include "core/foundation/UuidText.h"

#include <cmath>

namespace vantorel {

namespace {

Json valueJson(const LocalCloudRecordFile::Value& value)
{
    return std::visit(
        [](const auto& v) -> Json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::int64_t>)
                return {{"integer", v}};
            else if constexpr (std::is_same_v<T, double>)
                return {{"double", v}};
            else if constexpr (std::is_same_v<T, bool>)
                return {{"boolean", v}};
            else if constexpr (std::is_same_v<T, QString>)
                return {{"text", json::str(v)}};
            else if constexpr (std::is_same_v<T, QUuid>)
                return {{"asset", json::str(uuidText(v))}};
            else
                return {{"other", Json::object()}};
        },
        value);
}

std::optional<LocalCloudRecordFile::Value> valueFrom(const Json& json)
{
    if (!json.is_object() || json.size() != 1)
        return std::nullopt;
    const auto entry = json.begin();
    const std::string& kind = entry.key();
    const Json& value = entry.value();
    if (kind == "integer" && value.is_number_integer() && json::integer(json, "integer"))
        return *json::integer(json, "integer");
    if (kind == "double" && value.is_number())
        return value.get<double>();
    if (kind == "boolean" && value.is_boolean())
        return value.get<bool>();
    if (kind == "text" && value.is_string())
        return json::qstr(value.get<std::string>());
    if (kind == "asset" && value.is_string()) {
        if (const auto asset = parseUuidStrict(json::qstr(value.get<std::string>())))
            return *asset;
    }
    if (kind == "other" && value.is_object())
        return CloudOtherValue{};
    return std::nullopt;
}

} // namespace

QByteArray LocalCloudRecordFile::encode() const
{
    Json document = Json::object();
    document["recordType"] = json::str(recordType);
    document["recordName"] = json::str(recordName);
    document["changeTag"] = json::str(changeTag);
    Json values = Json::object();
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        values[json::str(it.key())] = valueJson(it.value());
    document["fields"] = std::move(values);
    return json::write(document, json::Form::store);
}

std::optional<LocalCloudRecordFile> LocalCloudRecordFile::decode(const QByteArray& bytes)
{
    const auto document = json::parse(bytes);
    if (!document || !document->is_object())
        return std::nullopt;
    const auto type = json::string(*document, "recordType");
    const auto name = json::string(*document, "recordName");
    const auto tag = json::string(*document, "changeTag");
    const Json* values = json::member(*document, "fields");
    if (!type || !name || !tag || !values || !values->is_object())
        return std::nullopt;
    LocalCloudRecordFile record{*type, *name, *tag, {}};
    for (const auto& [key, item] : values->items()) {
        const auto value = valueFrom(item);
        if (!value)
            return std::nullopt;
        record.fields.insert(json::qstr(key), *value);
    }
    return record;
}

QList<QUuid> LocalCloudRecordFile::assets() const
{
    QList<QUuid> found;
    for (const auto& value : fields) {
        if (const auto* asset = std::get_if<QUuid>(&value))
            found.append(*asset);
    }
    return found;
}

} // namespace vantorel
