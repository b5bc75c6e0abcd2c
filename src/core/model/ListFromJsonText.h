#pragma once

#include "core/foundation/JsonArrayElements.h"

#include <QList>

#include <optional>

namespace vantorel {

// listFromJsonSkippingInvalid straight from the stored text, decoding each element as the parser
// completes it: no tree of the whole list is built. nullopt for text that is not one valid array.
template <typename T>
std::optional<QList<T>> listFromJsonTextSkippingInvalid(const QByteArray& bytes, std::optional<T> (*decode)(const Json&))
{
    QList<T> items;
    if (!json::parseArrayElements(bytes, [&items, decode](const Json& element) {
            if (auto item = decode(element)) {
                items.append(std::move(*item));
            }
        })) {
        return std::nullopt;
    }
    items.squeeze();
    return items;
}

} // namespace vantorel
