#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace vantorel::test {

// The bytes of the first QR code zbar finds in `image`, read as binary (no charset guessing).
std::optional<QByteArray> decodeQr(const QImage& image);

} // namespace vantorel::test
