#pragma once

#include "core/foundation/JsonFwd.h"

#include <QByteArray>

#include <functional>

namespace vantorel::json {

// Reads UTF-8 JSON text that should be one array, handing each element to `element` as soon as it
// is complete (as parse would give it), so no tree of the whole array is built. False when the
// bytes are not one valid array within maximumNestingDepth; elements already handed over then
// belong to no valid document.
bool parseArrayElements(const QByteArray& bytes, const std::function<void(const Json&)>& element);

} // namespace vantorel::json
