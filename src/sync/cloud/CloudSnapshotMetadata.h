#pragma once

#include <QString>
#include <QUuid>

#include <cstdint>

namespace vantorel {

// What the metadata fields of a live snapshot record say about its payload.
struct CloudSnapshotMetadata
{
    QUuid hostID;
    std::uint64_t revision = 0;
    // SHA-256 of the payload, 64 lower-case hexadecimal digits.
    QString digest;
    std::int64_t byteCount = 0;

    bool operator==(const CloudSnapshotMetadata& other) const = default;
};

} // namespace vantorel
