#pragma once

#include "sync/cloud/CloudSnapshotMetadata.h"

#include <QByteArray>

namespace vantorel {

// A snapshot's JSON bytes and the metadata that describes them.
struct CloudSnapshotPayload
{
    QByteArray data;
    CloudSnapshotMetadata metadata;

    bool operator==(const CloudSnapshotPayload& other) const = default;
};

} // namespace vantorel
