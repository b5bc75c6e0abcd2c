#pragma once

#include <QByteArray>
#include <QList>

#include <optional>
#include <utility>

namespace vantorel {

// HTTP header fields in arrival order. Names compare case-insensitively (ASCII), values are kept
// as received.
class HttpHeaders
{
public:
    using Field = std::pair<QByteArray, QByteArray>;

    HttpHeaders() = default;
    HttpHeaders(std::initializer_list<Field> fields);

    // Appends a field (repeated names are kept).
    void add(const QByteArray& name, const QByteArray& value);
    // Replaces every field of that name with one.
    void set(const QByteArray& name, const QByteArray& value);
    void remove(const QByteArray& name);

    bool contains(const QByteArray& name) const;
    // The first value of that name.
    std::optional<QByteArray> value(const QByteArray& name) const;
    QList<QByteArray> values(const QByteArray& name) const;

    const QList<Field>& fields() const { return m_fields; }
    bool isEmpty() const { return m_fields.isEmpty(); }

    bool operator==(const HttpHeaders&) const = default;

private:
    QList<Field> m_fields;
};

} // namespace vantorel
