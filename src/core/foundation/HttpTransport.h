#pragma once

#include "core/foundation/CancelToken.h"
#include "core/foundation/HttpRequest.h"
#include "core/foundation/HttpResponse.h"

#include <QCoroTask>

namespace vantorel {

// What a client of a web service needs from the network. HttpClient is the real one; tests may
// pass a scripted fake or an HttpClient aimed at the loopback TestHttpServer.
class HttpTransport
{
public:
    virtual ~HttpTransport() = default;

    // Sends one request. Returns every answer that has an HTTP status (4xx/5xx included). Throws
    // HttpError for transport failures and time-outs, CancellationError when `token` is cancelled
    // (the exchange is aborted at once).
    virtual QCoro::Task<HttpResponse> send(HttpRequest request, CancelToken token) = 0;
};

} // namespace vantorel
