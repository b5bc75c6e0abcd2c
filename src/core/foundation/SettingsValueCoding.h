#pragma once

#include "core/foundation/JsonFwd.h"
#include "core/foundation/SettingsStore.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <string>
#include <unordered_set>

namespace vantorel {

// How the settings file spells a value: {"type": "bool" | "integer" | "double" | "string" | "data"
// | "date" | "stringList", "value": …}. Numbers JSON cannot hold (NaN, infinities) and -0.0, which
// JSON spells as the integer 0, are kept as their text ("nan", "inf", "-inf", "-0"); dates are
// seconds since 2001; data is padded standard Base64.
struct SettingsValueCoding
{
    using Value = SettingsStore::Value;

    // The tagged entry of `value`. Data values are written through appendData instead.
    static Json encode(const Value& value);
    // Appends the tagged entry of the data `data` as json::write gives it.
    static void appendData(QByteArray& out, QByteArrayView data);

    // The value of a tagged entry; none when the tag or the value does not decode.
    // `spelledNegativeZero`: the file's text spelled the entry's value "-0" (negativeZeroKeys),
    // which the parser reads as the integer 0.
    static std::optional<Value> decode(const Json& entry, bool spelledNegativeZero = false);
    // Whether `entry` is a double or date whose value the parser read as the integer 0: only then
    // can the text have said "-0".
    static bool readAsIntegerZero(const Json& entry);
    // The keys of the top-level object in `text` whose entry has a "value" member spelled as the
    // number -0, the last occurrence of a repeated key or member counting, as the parser keeps it.
    // One pass over text that parsed as JSON; nothing inside a member's value is looked into.
    static std::unordered_set<std::string> negativeZeroKeys(QByteArrayView text);
};

} // namespace vantorel
