#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace vantorel {

// Padded standard Base64, as QByteArray::toBase64 writes it, coded through tables: the settings
// file's histories run to megabytes, which Qt's coder takes several times longer over.
struct Base64Text
{
    // Appends the Base64 of `data` to `out`, which should have the room reserved.
    static void append(QByteArray& out, QByteArrayView data);
    // The bytes of Base64 in whole groups of four with padding only at the end; none for any other
    // text, which Qt's decoder judges instead. Both give the same bytes for such text.
    static std::optional<QByteArray> decodeWhole(QByteArrayView text);
};

} // namespace vantorel
