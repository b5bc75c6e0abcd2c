#pragma once

#include <QUrl>

#include <memory>

namespace vantorel {

// A record field that carries a file: the record refers to the local file by URL.
struct CloudAsset
{
    QUrl fileURL;
    // For a file the database handed out: keeps that private copy alive for as long as any copy of
    // the record holds the asset. Empty for a caller's own file.
    std::shared_ptr<const void> keeper;

    bool operator==(const CloudAsset& other) const { return fileURL == other.fileURL; }
};

} // namespace vantorel
