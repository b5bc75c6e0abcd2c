#pragma once

#include <QByteArray>

#include <cstdint>

namespace vantorel {

// Framing of the local-network sync protocol: a 4-byte big-endian payload length followed by
// the payload (the JSON of one envelope). No magic, version or checksum: the version travels
// inside the envelope.
namespace SyncWire {

inline constexpr std::uint32_t maximumPayloadBytes = 2'097'152;
inline constexpr int headerBytes = 4;

// The frame of `payload`. Throws UsageSyncError(invalidData) for an empty payload or one over
// `maximumPayloadBytes`.
QByteArray frame(const QByteArray& payload);

} // namespace SyncWire
} // namespace vantorel
