#pragma once

#include "core/foundation/HttpHeaders.h"

#include <QByteArray>
#include <QUrl>

#include <optional>

namespace vantorel {

struct HttpRequest
{
    QUrl url;
    QByteArray method = "GET";
    HttpHeaders headers;
    QByteArray body;
    // Overrides the client's maximumResponseBytes for this request.
    std::optional<qint64> maximumResponseBytes;

    bool operator==(const HttpRequest&) const = default;
};

} // namespace vantorel
