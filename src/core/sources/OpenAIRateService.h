#pragma once

#include "core/foundation/CancelToken.h"
#include "core/foundation/Clock.h"
#include "core/foundation/Date.h"
#include "core/foundation/HttpClient.h"
#include "core/model/RateLimitSnapshot.h"

#include <QByteArrayView>
#include <QString>
#include <QUrl>

#include <QCoroTask>

#include <memory>
#include <optional>

namespace vantorel {

class HttpHeaders;
class HttpTransport;

// Reads the request and token rate limits of one OpenAI API model from the response headers of
// an authenticated GET of that model's resource. Lives on the thread that made it.
class OpenAIRateService
{
public:
    // The model resource is a few hundred bytes; only its headers matter.
    static constexpr qint64 maximumResponseBytes = 256 * 1024;
    // The `source` of the snapshots it returns.
    static inline const QString snapshotSource = QStringLiteral("openai-api-headers");

    // The "/v1" root of OpenAI's public API.
    static QUrl defaultBaseURL();
    // 10 s without progress, 15 s in all, redirects refused (the key must not follow them).
    static HttpClient::Options transportOptions();

    // Without a transport it owns an HttpClient with transportOptions(). `clock` stamps the
    // snapshots it returns.
    explicit OpenAIRateService(QUrl baseURL = defaultBaseURL(), std::shared_ptr<HttpTransport> transport = {},
                               Clock clock = systemClock());

    const QUrl& baseURL() const { return m_baseURL; }

    // GET <base>/models/<model> with the key as bearer token. The model is trimmed and sent as
    // one path segment. Throws OpenAIRateServiceError (emptyModel before any request;
    // badHTTPStatus for any status other than 2xx, refused redirects included; the header cases
    // of snapshot(); invalidResponse for an oversized body), HttpError for transport failures
    // (also, without sending anything, for a key that cannot travel in a header) and
    // CancellationError when `token` is cancelled. The service may be destroyed while this runs.
    QCoro::Task<RateLimitSnapshot> fetchRateLimits(QString apiKey, QString model, CancelToken token = {});

    // The six "x-ratelimit-..." headers read into a snapshot. A count must be a non-negative
    // integer and a reset a duration (durationSeconds); a value that is neither is left out.
    // Throws missingRateLimitHeaders when none of the six is present, invalidResponse when some
    // are but none can be read.
    static RateLimitSnapshot snapshot(const HttpHeaders& headers, const QString& model, Date now);

    // A reset duration in seconds: "1s", "6m0s", "20ms", "1h2m3.5s", "250us"; a bare number is
    // seconds. Nullopt for anything else, negative or not finite.
    static std::optional<double> durationSeconds(QByteArrayView text);

private:
    QUrl m_baseURL;
    std::shared_ptr<HttpTransport> m_transport;
    Clock m_clock;
};

} // namespace vantorel
