#pragma once

#include "core/foundation/HttpTransport.h"

#include <QUrl>

#include <memory>

namespace vantorel {

// Forwards every request to another transport after replacing scheme, host and port with those
// of `target` (usually TestHttpServer::url()), keeping path and query. Lets a client that only
// talks to its real service's host be exercised against a loopback server. The last request as
// it was handed in (before the rewrite) is kept for inspection.
class LoopbackTransport final : public HttpTransport
{
public:
    LoopbackTransport(std::shared_ptr<HttpTransport> inner, QUrl target);

    QCoro::Task<HttpResponse> send(HttpRequest request, CancelToken token) override;

    void setTarget(QUrl target) { m_target = std::move(target); }
    const HttpRequest& lastRequest() const { return m_lastRequest; }
    int requestCount() const { return m_requestCount; }

private:
    std::shared_ptr<HttpTransport> m_inner;
    QUrl m_target;
    HttpRequest m_lastRequest;
    int m_requestCount = 0;
};

} // namespace vantorel
