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

QString FieldReader::string(std::string_view key)
{
    return required(key) ? take(json::string(m_object, key), QString()) : QString();
}

std::optional<QString> FieldReader::optionalString(std::string_view key)
{
    if (!present(key)) {
        return std::nullopt;
    }
    auto value = json::string(m_object, key);
    if (!value) {
        m_ok = false;
    }
    return value;
}

bool FieldReader::boolean(std::string_view key)
{
    return required(key) ? take(json::boolean(m_object, key), false) : false;
}

std::optional<bool> FieldReader::optionalBoolean(std::string_view key)
{
    if (!present(key)) {
        return std::nullopt;
    }
    auto value = json::boolean(m_object, key);
    if (!value) {
        m_ok = false;
    }
    return value;
}

double FieldReader::number(std::string_view key)
{
    return required(key) ? take(json::number(m_object, key), 0.0) : 0.0;
}

std::optional<double> FieldReader::optionalNumber(std::string_view key)
{
    if (!present(key)) {
        return std::nullopt;
    }
    auto value = json::number(m_object, key);
    if (!value) {
        m_ok = false;
    }
    return value;
}

std::int64_t FieldReader::integer(std::string_view key)
{
    return required(key) ? take(json::integer(m_object, key), std::int64_t(0)) : 0;
}

std::optional<std::int64_t> FieldReader::optionalInteger(std::string_view key)
{
    if (!present(key)) {
        return std::nullopt;
    }
    auto value = json::integer(m_object, key);
    if (!value) {
        m_ok = false;
    }
    return value;
}

Date FieldReader::date(std::string_view key)
{
    return required(key) ? take(json::storeDate(m_object, key), Date()) : Date();
}

std::optional<Date> FieldReader::optionalDate(std::string_view key)
{
    if (!present(key)) {
        return std::nullopt;
    }
    auto value = json::storeDate(m_object, key);
    if (!value) {
        m_ok = false;
    }
    return value;
}

QUuid FieldReader::uuid(std::string_view key)
{
    return required(key) ? take(json::uuid(m_object, key), QUuid()) : QUuid();
}

} // namespace vantorel
