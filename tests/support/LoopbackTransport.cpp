#include "support/LoopbackTransport.h"

namespace vantorel {

LoopbackTransport::LoopbackTransport(std::shared_ptr<HttpTransport> inner, QUrl target)
    : m_inner(std::move(inner))
    , m_target(std::move(target))
{
}

QCoro::Task<HttpResponse> LoopbackTransport::send(HttpRequest request, CancelToken token)
{
    m_lastRequest = request;
    ++m_requestCount;
    QUrl url = request.url;
    url.setScheme(m_target.scheme());
    url.setHost(m_target.host());
    url.setPort(m_target.port());
    request.url = url;
    // Keep the inner transport alive across the suspension even if this one is dropped.
    const std::shared_ptr<HttpTransport> inner = m_inner;
    co_return co_await inner->send(std::move(request), std::move(token));
}

} // namespace vantorel
