#pragma once

#include <QString>

#include <utility>

namespace vantorel {

// Outcome of reading one secret: the text, no such item, or an item that cannot be read now
// (locked store, unreadable data, any other store failure).
struct SecureValueReadResult
{
    enum class Kind { value, missing, temporarilyUnavailable };

    Kind kind = Kind::missing;
    // The secret when `kind` is `value` (may be empty); always empty otherwise.
    QString text;

    static SecureValueReadResult value(QString text) { return {Kind::value, std::move(text)}; }
    static SecureValueReadResult missing() { return {Kind::missing, {}}; }
    static SecureValueReadResult temporarilyUnavailable() { return {Kind::temporarilyUnavailable, {}}; }

    bool operator==(const SecureValueReadResult&) const = default;
};

} // namespace vantorel
