#pragma once

#include "core/foundation/CancelToken.h"
#include "core/foundation/Clock.h"
#include "core/foundation/Date.h"
#include "core/foundation/HttpClient.h"
#include "core/model/UsageSnapshot.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <QCoroTask>

#include <memory>
#include <optional>

namespace vantorel {

class HttpTransport;

// Reads the Claude account's five-hour and weekly usage from the OAuth usage endpoint with the
// access token Claude Code keeps. Lives on the thread that made it.
class ClaudeUsageService
{
public:
    // The usage answer is well under a kilobyte.
    static constexpr qint64 maximumResponseBytes = 256 * 1024;
    // The "anthropic-beta" value the usage endpoint requires.
    static constexpr const char* betaHeaderValue = "oauth-2025-04-20";

    static QUrl defaultEndpoint();
    // 10 s without progress, 15 s in all, redirects refused (the token must not follow them).
    static HttpClient::Options transportOptions();

    // Without a transport it owns an HttpClient with transportOptions(). `clock` stamps the
    // readings it returns.
    explicit ClaudeUsageService(QUrl endpoint = defaultEndpoint(), std::shared_ptr<HttpTransport> transport = {},
                                Clock clock = systemClock());

    const QUrl& endpoint() const { return m_endpoint; }

    // One GET with the token as bearer. 200 is read by usage(); 401 throws unauthorized, 429
    // rateLimited with retryAfterSeconds() of its "Retry-After", any other status (refused
    // redirects included) badHTTPStatus. A token that is blank or holds anything but visible
    // ASCII throws emptyAccessToken before anything is sent; an oversized body invalidResponse.
    // Transport failures pass on as HttpError, cancellation of `token` as CancellationError. The
    // service may be destroyed while this runs.
    QCoro::Task<UsageSnapshot> fetchUsage(QString accessToken, std::optional<QString> planType, CancelToken token = {});

    // A usage answer as a reading (source claudeOAuth, `planType` as given, stamped `now`):
    // remaining = 100 − "utilization", clamped to 0...100, and "resets_at" of the "five_hour"
    // and "seven_day" buckets. A bucket that is absent, null or has no numeric utilization is
    // skipped; an unreadable reset time reads as absent. Throws invalidResponse when the body is
    // not a JSON object and missingUsageBuckets when neither bucket is usable.
    static UsageSnapshot usage(const QByteArray& body, const std::optional<QString>& planType, Date now);

    // "Retry-After" read as a decimal number of seconds; nullopt when absent or not a finite
    // number of at least 0 and below 2^63 (an HTTP date is not read).
    static std::optional<double> retryAfterSeconds(const std::optional<QByteArray>& header);

private:
    QUrl m_endpoint;
    std::shared_ptr<HttpTransport> m_transport;
    Clock m_clock;
};

} // namespace vantorel
