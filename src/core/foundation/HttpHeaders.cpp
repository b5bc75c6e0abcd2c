#include "core/foundation/HttpHeaders.h"

namespace vantorel {

namespace {

bool sameName(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

HttpHeaders::HttpHeaders(std::initializer_list<Field> fields)
    : m_fields(fields)
{
}

void HttpHeaders::add(const QByteArray& name, const QByteArray& value)
{
    m_fields.append({name, value});
}

void HttpHeaders::set(const QByteArray& name, const QByteArray& value)
{
    remove(name);
    add(name, value);
}

void HttpHeaders::remove(const QByteArray& name)
{
    m_fields.removeIf([&](const Field& field) { return sameName(field.first, name); });
}

bool HttpHeaders::contains(const QByteArray& name) const
{
    return value(name).has_value();
}

std::optional<QByteArray> HttpHeaders::value(const QByteArray& name) const
{
    for (const auto& field : m_fields) {
        if (sameName(field.first, name))
            return field.second;
    }
    return std::nullopt;
}

QList<QByteArray> HttpHeaders::values(const QByteArray& name) const
{
    QList<QByteArray> result;
    for (const auto& field : m_fields) {
        if (sameName(field.first, name))
            result.append(field.second);
    }
    return result;
}

} // namespace vantorel
