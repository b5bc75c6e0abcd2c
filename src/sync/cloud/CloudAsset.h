#pragma once

#include <QUrl>

namespace vantorel {

// A record field that carries a file: the record refers to the local file by URL.
struct CloudAsset
{
    QUrl fileURL;

    bool operator==(const CloudAsset& other) const = default;
};

} // namespace vantorel
