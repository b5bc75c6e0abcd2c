#pragma once

#include "sync/cloud/CloudAsset.h"

#include <QString>

#include <cstdint>
#include <variant>

namespace vantorel {

// A value kind that the snapshot record never uses (a date or a list, say); it only has to be told
// apart from the kinds the record does use.
struct CloudOtherValue
{
    bool operator==(const CloudOtherValue& other) const = default;
};

// What one record field holds: an integer number, a floating number, a Boolean, a text, a file
// asset, or something else. An absent field is no value at all.
using CloudRecordValue = std::variant<std::int64_t, double, bool, QString, CloudAsset, CloudOtherValue>;

} // namespace vantorel
