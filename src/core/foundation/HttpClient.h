#pragma once

#include "core/foundation/HttpTransport.h"

#include <memory>

class QObject;

namespace vantorel {

// HTTP/1.1 over a socket of its own per request (TLS with the system's certificate authorities
// for https), behaving like an ephemeral URL session: no cookies are read or stored and nothing is
// cached. It reads the answer itself so that every part of it is bounded as it arrives (see
// HttpResponseReader). A proxy from the system configuration is used when it can tunnel.
// Lives on the thread that created it.
class HttpClient final : public HttpTransport
{
public:
    struct Options
    {
        // Longest time without any bytes moving before the exchange fails with timedOut.
        double requestTimeoutSeconds = 10.0;
        // Longest time for the whole exchange, however steadily bytes arrive.
        double resourceTimeoutSeconds = 15.0;
        // When false a 3xx answer is returned as it is and its Location is never contacted.
        bool followRedirects = true;
        // Bodies longer than this fail with responseTooLarge (a request may override it).
        qint64 maximumResponseBytes = 8 * 1024 * 1024;
    };

    HttpClient();
    explicit HttpClient(Options options);
    ~HttpClient() override;
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    const Options& options() const { return m_options; }

    // See HttpTransport::send. Destroying the client while a request is in
    // flight fails that request with HttpError::Kind::cancelled.
    QCoro::Task<HttpResponse> send(HttpRequest request, CancelToken token) override;

private:
    Options m_options;
    // Parent of the sockets in flight; its end cancels them.
    std::unique_ptr<QObject> m_connections;
};

} // namespace vantorel
