#include "core/sources/ClaudeUsageService.h"

#include "core/foundation/Json.h"
#include "core/sources/BearerToken.h"
#include "core/sources/ClaudeUsageServiceError.h"
#include "core/sources/SourceHttp.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace vantorel {

namespace {

struct Bucket
{
    double remainingPercent = 0.0;
    std::optional<Date> resetsAt;
};

std::optional<Bucket> bucket(const Json& answer, std::string_view key)
{
    const Json* value = json::member(answer, key);
    if (!value)
        return std::nullopt;
    const auto utilization = json::number(*value, "utilization");
    if (!utilization || !std::isfinite(*utilization))
        return std::nullopt;
    Bucket result;
    result.remainingPercent = std::clamp(100.0 - *utilization, 0.0, 100.0);
    if (const auto resetsAt = json::string(*value, "resets_at"))
        result.resetsAt = Date::fromIso8601Lenient(*resetsAt);
    return result;
}

} // namespace

QUrl ClaudeUsageService::defaultEndpoint()
{
    return QUrl(QStringLiteral("https://api.anthropic.com/api/oauth/usage"));
}

HttpClient::Options ClaudeUsageService::transportOptions()
{
    return SourceHttp::options(false, maximumResponseBytes);
}

ClaudeUsageService::ClaudeUsageService(QUrl endpoint, std::shared_ptr<HttpTransport> transport, Clock clock)
    : m_endpoint(std::move(endpoint))
    , m_transport(SourceHttp::transportOr(std::move(transport), transportOptions()))
    , m_clock(std::move(clock))
{
}

QCoro::Task<UsageSnapshot> ClaudeUsageService::fetchUsage(QString accessToken, std::optional<QString> planType,
                                                          CancelToken token)
{
    using Code = ClaudeUsageServiceError::Code;
    token.throwIfCancelled();
    const auto authorization = BearerToken::authorization(accessToken);
    if (!authorization)
        throw ClaudeUsageServiceError(Code::emptyAccessToken);

    // Nothing below the await touches the service, which may be gone by then.
    const Clock clock = m_clock;
    HttpRequest request;
    request.url = m_endpoint;
    request.headers.set("Authorization", *authorization);
    request.headers.set("anthropic-beta", betaHeaderValue);
    request.headers.set("Accept", "application/json");
    const HttpResponse response =
        co_await SourceHttp::send(m_transport, std::move(request), maximumResponseBytes, token,
                                  std::make_exception_ptr(ClaudeUsageServiceError(Code::invalidResponse)));
    switch (response.statusCode) {
    case 200:
        co_return usage(response.body, planType, clock());
    case 401:
        throw ClaudeUsageServiceError(Code::unauthorized);
    case 429:
        throw ClaudeUsageServiceError::rateLimited(retryAfterSeconds(response.headers.value("Retry-After")));
    default:
        throw ClaudeUsageServiceError::badHTTPStatus(response.statusCode);
    }
}

UsageSnapshot ClaudeUsageService::usage(const QByteArray& body, const std::optional<QString>& planType, Date now)
{
    const auto answer = json::parse(body);
    if (!answer || !answer->is_object())
        throw ClaudeUsageServiceError(ClaudeUsageServiceError::Code::invalidResponse);
    const auto fiveHour = bucket(*answer, "five_hour");
    const auto weekly = bucket(*answer, "seven_day");
    if (!fiveHour && !weekly)
        throw ClaudeUsageServiceError(ClaudeUsageServiceError::Code::missingUsageBuckets);

    UsageSnapshot snapshot;
    if (fiveHour) {
        snapshot.fiveHourRemainingPercent = fiveHour->remainingPercent;
        snapshot.fiveHourResetAt = fiveHour->resetsAt;
    }
    if (weekly) {
        snapshot.weeklyRemainingPercent = weekly->remainingPercent;
        snapshot.weeklyResetAt = weekly->resetsAt;
    }
    snapshot.planType = planType;
    snapshot.source = UsageSource::claudeOAuth;
    snapshot.updatedAt = now;
    return snapshot;
}

std::optional<double> ClaudeUsageService::retryAfterSeconds(const std::optional<QByteArray>& header)
{
    if (!header)
        return std::nullopt;
    const QByteArray text = header->trimmed();
    double seconds = 0.0;
    const auto [end, error] = std::from_chars(text.constBegin(), text.constEnd(), seconds);
    if (text.isEmpty() || error != std::errc() || end != text.constEnd())
        return std::nullopt;
    // 2^63: the first value that no longer fits a signed 64-bit count of seconds.
    constexpr double limit = 9'223'372'036'854'775'808.0;
    if (!std::isfinite(seconds) || seconds < 0.0 || seconds >= limit)
        return std::nullopt;
    return seconds;
}

} // namespace vantorel
