#pragma once

#include "core/foundation/HttpHeaders.h"

#include <QByteArray>
#include <QUrl>

namespace vantorel {

// Any answer that carried an HTTP status, 4xx, 5xx and refused 3xx included; only transport
// failures become HttpError.
struct HttpResponse
{
    int statusCode = 0;
    HttpHeaders headers;
    QByteArray body;
    // After redirects, if any were followed.
    QUrl url;

    bool isSuccess() const { return statusCode >= 200 && statusCode < 300; }

    bool operator==(const HttpResponse&) const = default;
};

} // namespace vantorel
