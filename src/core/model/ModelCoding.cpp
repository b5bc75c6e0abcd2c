#include "core/model/ModelCoding.h"

namespace vantorel {

FieldReader::FieldReader(const Json& object)
    : m_object(object)
    , m_ok(object.is_object())
{
}

const Json* FieldReader::present(std::string_view key) const
{
    return m_ok ? json::member(m_object, key) : nullptr;
}

const Json* FieldReader::required(std::string_view key)
{
    const Json* value = present(key);
    if (!value) {
        m_ok = false;
    }
    return value;
}

template <typename T>
std::optional<T> FieldReader::optionalValue(std::string_view key,
                                           std::optional<T> (*get)(const Json&, std::string_view))
{
    if (!present(key)) {
        return std::nullopt;
    }
    auto value = get(m_object, key);
    if (!value) {
        m_ok = false;
    }
    return value;
}

template <typename T>
T FieldReader::requiredValue(std::string_view key, std::optional<T> (*get)(const Json&, std::string_view), T fallback)
{
    return required(key) ? take(optionalValue(key, get), fallback) : fallback;
}

QString FieldReader::string(std::string_view key)
{
    return requiredValue(key, &json::string, QString());
}

std::optional<QString> FieldReader::optionalString(std::string_view key)
{
    return optionalValue(key, &json::string);
}

bool FieldReader::boolean(std::string_view key)
{
    return requiredValue(key, &json::boolean, false);
}

std::optional<bool> FieldReader::optionalBoolean(std::string_view key)
{
    return optionalValue(key, &json::boolean);
}

double FieldReader::number(std::string_view key)
{
    return requiredValue(key, &json::number, 0.0);
}

std::optional<double> FieldReader::optionalNumber(std::string_view key)
{
    return optionalValue(key, &json::number);
}

std::int64_t FieldReader::integer(std::string_view key)
{
    return requiredValue(key, &json::integer, std::int64_t(0));
}

std::optional<std::int64_t> FieldReader::optionalInteger(std::string_view key)
{
    return optionalValue(key, &json::integer);
}

Date FieldReader::date(std::string_view key)
{
    return requiredValue(key, &json::storeDate, Date());
}

std::optional<Date> FieldReader::optionalDate(std::string_view key)
{
    return optionalValue(key, &json::storeDate);
}

QUuid FieldReader::uuid(std::string_view key)
{
    return requiredValue(key, &json::uuid, QUuid());
}

} // namespace vantorel
