#pragma once

#include <nlohmann/json_fwd.hpp>

namespace vantorel {

// Objects keep their keys in insertion order, so a store-form document is written in the order
// its encoder put the fields; the sync form sorts them when writing.
using Json = nlohmann::ordered_json;

} // namespace vantorel
