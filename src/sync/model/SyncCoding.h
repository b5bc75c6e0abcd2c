#pragma once

#include "core/foundation/Json.h"
#include "sync/model/UsageSyncError.h"

#include <QByteArray>

namespace vantorel {

// The one JSON coder of sync documents. A coded type T provides, found by argument-dependent
// lookup next to its definition:
//     Json toSyncJson(const T&);
//     void fromSyncJson(const Json&, T&);   // throws JsonDecodeError
// Output has sorted keys, no spaces, "\/" for "/", exact 64-bit integers; both operations are
// stateless and may run on any thread.
struct SyncCoding
{
    // Input larger than this is refused unread.
    static constexpr qsizetype maximumInputBytes = 2'097'152;

    // Throws JsonEncodeError for a NaN or infinite number or a date the form cannot carry.
    template <typename T>
    static QByteArray encode(const T& value)
    {
        return json::write(toSyncJson(value), json::Form::sync);
    }

    // Throws UsageSyncError(invalidData) for input over the size limit, and JsonDecodeError for
    // anything that is not a well-formed document of type T.
    template <typename T>
    static T decode(const QByteArray& bytes)
    {
        const Json document = parse(bytes);
        T value{};
        fromSyncJson(document, value);
        return value;
    }

    // The size check and parse that decode() starts with.
    static Json parse(const QByteArray& bytes);
};

} // namespace vantorel
