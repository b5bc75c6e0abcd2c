#include "core/sources/SourceHttp.h"

#include "core/foundation/HttpError.h"
#include "core/foundation/HttpTransport.h"

namespace vantorel {

HttpClient::Options SourceHttp::options(bool followRedirects, qint64 maximumResponseBytes)
{
    HttpClient::Options options;
    options.requestTimeoutSeconds = requestTimeoutSeconds;
    options.resourceTimeoutSeconds = resourceTimeoutSeconds;
    options.followRedirects = followRedirects;
    options.maximumResponseBytes = maximumResponseBytes;
    return options;
}

std::shared_ptr<HttpTransport> SourceHttp::transportOr(std::shared_ptr<HttpTransport> transport,
                                                       const HttpClient::Options& options)
{
    return transport ? std::move(transport) : std::make_shared<HttpClient>(options);
}

QCoro::Task<HttpResponse> SourceHttp::send(std::shared_ptr<HttpTransport> transport, HttpRequest request,
                                           qint64 maximumResponseBytes, CancelToken token,
                                           std::exception_ptr whenTooLarge)
{
    request.maximumResponseBytes = maximumResponseBytes;
    HttpResponse response;
    try {
        response = co_await transport->send(std::move(request), token);
    } catch (const HttpError& error) {
        if (error.kind() != HttpError::Kind::responseTooLarge)
            throw;
        std::rethrow_exception(whenTooLarge);
    }
    token.throwIfCancelled();
    co_return response;
}

} // namespace vantorel
