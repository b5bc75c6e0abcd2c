#pragma once

#include "core/foundation/HttpTransport.h"

#include <QPointer>

#include <memory>

class QNetworkAccessManager;

namespace vantorel {

// HTTP on QNetworkAccessManager, behaving like an ephemeral URL session: no cookies are read or
// stored and nothing is cached. Lives on the thread that created it.
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

    // Default options on a manager of its own.
    HttpClient();
    // Uses `manager` when given (not owned; it must outlive the client), else owns a fresh one.
    explicit HttpClient(Options options, QNetworkAccessManager* manager = nullptr);
    ~HttpClient() override;
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    const Options& options() const { return m_options; }

    // See HttpTransport::send. Destroying the client (or its manager) while a request is in
    // flight fails that request with HttpError::Kind::cancelled.
    QCoro::Task<HttpResponse> send(HttpRequest request, CancelToken token) override;

private:
    Options m_options;
    std::unique_ptr<QNetworkAccessManager> m_ownedManager;
    QPointer<QNetworkAccessManager> m_manager;
};

} // namespace vantorel
