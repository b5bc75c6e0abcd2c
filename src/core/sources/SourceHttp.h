#pragma once

#include "core/foundation/CancelToken.h"
#include "core/foundation/HttpClient.h"
#include "core/foundation/HttpRequest.h"
#include "core/foundation/HttpResponse.h"

#include <QCoroTask>

#include <exception>
#include <memory>

namespace vantorel {

class HttpTransport;

// What the web clients of the usage sources share: their session settings and one bounded
// exchange that turns an oversized answer into the client's own error.
struct SourceHttp
{
    static constexpr double requestTimeoutSeconds = 10.0;
    static constexpr double resourceTimeoutSeconds = 15.0;

    // 10 s without progress, 15 s in all.
    static HttpClient::Options options(bool followRedirects, qint64 maximumResponseBytes);
    // `transport` itself, or an HttpClient with `options` when none is given.
    static std::shared_ptr<HttpTransport> transportOr(std::shared_ptr<HttpTransport> transport,
                                                      const HttpClient::Options& options);

    // Sends `request` with its body bounded to `maximumResponseBytes`. A longer body throws
    // `whenTooLarge` instead of the transport's error; other HttpErrors pass on, and so does
    // CancellationError, also when `token` was cancelled just as the answer arrived.
    static QCoro::Task<HttpResponse> send(std::shared_ptr<HttpTransport> transport, HttpRequest request,
                                          qint64 maximumResponseBytes, CancelToken token,
                                          std::exception_ptr whenTooLarge);
};

} // namespace vantorel
