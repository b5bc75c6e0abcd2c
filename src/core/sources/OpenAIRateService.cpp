#include "core/sources/OpenAIRateService.h"

#include "core/foundation/HttpError.h"
#include "core/foundation/HttpHeaders.h"
#include "core/sources/BearerToken.h"
#include "core/sources/OpenAIRateServiceError.h"
#include "core/sources/SourceHttp.h"

#include <array>
#include <charconv>
#include <cmath>

namespace vantorel {

namespace {

constexpr std::array<const char*, 6> rateLimitHeaders = {
    "x-ratelimit-limit-requests", "x-ratelimit-remaining-requests", "x-ratelimit-reset-requests",
    "x-ratelimit-limit-tokens",   "x-ratelimit-remaining-tokens",   "x-ratelimit-reset-tokens",
};

std::optional<std::int64_t> count(const HttpHeaders& headers, const char* name)
{
    const auto value = headers.value(name);
    if (!value)
        return std::nullopt;
    const QByteArray text = value->trimmed();
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(text.constBegin(), text.constEnd(), number);
    if (error != std::errc() || end != text.constEnd() || text.isEmpty() || number < 0)
        return std::nullopt;
    return number;
}

std::optional<double> duration(const HttpHeaders& headers, const char* name)
{
    const auto value = headers.value(name);
    return value ? OpenAIRateService::durationSeconds(*value) : std::nullopt;
}

// Seconds per unit of a duration; the longest matching spelling wins, so "ms" is not read as "m".
struct Unit
{
    std::string_view name;
    double seconds;
};

constexpr std::array<Unit, 8> units = {{
    {"ns", 1e-9},
    {"us", 1e-6},
    {"\xC2\xB5s", 1e-6},
    {"\xCE\xBCs", 1e-6},
    {"ms", 1e-3},
    {"s", 1.0},
    {"m", 60.0},
    {"h", 3600.0},
}};

// <base>/models/<model>, the model percent-encoded into a single segment.
QUrl modelURL(const QUrl& base, const QString& model)
{
    QString path = base.path(QUrl::FullyEncoded);
    while (path.endsWith(u'/'))
        path.chop(1);
    path += QStringLiteral("/models/") + QString::fromLatin1(QUrl::toPercentEncoding(model));
    QUrl url = base;
    url.setPath(path, QUrl::StrictMode);
    return url;
}

} // namespace

QUrl OpenAIRateService::defaultBaseURL()
{
    return QUrl(QStringLiteral("https://api.openai.com/v1"));
}

HttpClient::Options OpenAIRateService::transportOptions()
{
    return SourceHttp::options(false, maximumResponseBytes);
}

OpenAIRateService::OpenAIRateService(QUrl baseURL, std::shared_ptr<HttpTransport> transport, Clock clock)
    : m_baseURL(std::move(baseURL))
    , m_transport(SourceHttp::transportOr(std::move(transport), transportOptions()))
    , m_clock(std::move(clock))
{
}

QCoro::Task<RateLimitSnapshot> OpenAIRateService::fetchRateLimits(QString apiKey, QString model, CancelToken token)
{
    token.throwIfCancelled();
    model = model.trimmed();
    if (model.isEmpty())
        throw OpenAIRateServiceError(OpenAIRateServiceError::Code::emptyModel);
    const auto authorization = BearerToken::authorization(apiKey);
    if (!authorization)
        throw HttpError(HttpError::Kind::other, QStringLiteral("The API key is empty or holds characters a header cannot carry"));

    // Nothing below the await touches the service, which may be gone by then.
    const Clock clock = m_clock;
    HttpRequest request;
    request.url = modelURL(m_baseURL, model);
    request.headers.set("Authorization", *authorization);
    request.headers.set("Accept", "application/json");
    const HttpResponse response = co_await SourceHttp::send(
        m_transport, std::move(request), maximumResponseBytes, token,
        std::make_exception_ptr(OpenAIRateServiceError(OpenAIRateServiceError::Code::invalidResponse)));
    if (!response.isSuccess())
        throw OpenAIRateServiceError::badHTTPStatus(response.statusCode);
    co_return snapshot(response.headers, model, clock());
}

RateLimitSnapshot OpenAIRateService::snapshot(const HttpHeaders& headers, const QString& model, Date now)
{
    RateLimitSnapshot snapshot;
    snapshot.requestLimit = count(headers, rateLimitHeaders[0]);
    snapshot.requestsRemaining = count(headers, rateLimitHeaders[1]);
    snapshot.requestResetSeconds = duration(headers, rateLimitHeaders[2]);
    snapshot.tokenLimit = count(headers, rateLimitHeaders[3]);
    snapshot.tokensRemaining = count(headers, rateLimitHeaders[4]);
    snapshot.tokenResetSeconds = duration(headers, rateLimitHeaders[5]);
    snapshot.model = model;
    snapshot.source = snapshotSource;
    snapshot.updatedAt = now;

    const bool anyRead = snapshot.requestLimit || snapshot.requestsRemaining || snapshot.requestResetSeconds
        || snapshot.tokenLimit || snapshot.tokensRemaining || snapshot.tokenResetSeconds;
    if (anyRead)
        return snapshot;
    for (const char* name : rateLimitHeaders) {
        if (headers.contains(name))
            throw OpenAIRateServiceError(OpenAIRateServiceError::Code::invalidResponse);
    }
    throw OpenAIRateServiceError(OpenAIRateServiceError::Code::missingRateLimitHeaders);
}

std::optional<double> OpenAIRateService::durationSeconds(QByteArrayView text)
{
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    const char* position = text.data();
    const char* const end = text.data() + text.size();
    double total = 0.0;
    bool sawUnit = false;
    while (position != end) {
        if (*position == '-' || *position == '+')
            return std::nullopt;
        double value = 0.0;
        const auto [next, error] = std::from_chars(position, end, value, std::chars_format::fixed);
        if (error != std::errc() || next == position)
            return std::nullopt;
        position = next;
        if (position == end) {
            // A bare number is seconds, but only alone: "1m30" is not a duration.
            if (sawUnit)
                return std::nullopt;
            total += value;
            break;
        }
        const std::string_view rest(position, std::size_t(end - position));
        const Unit* unit = nullptr;
        for (const Unit& candidate : units) {
            if (rest.starts_with(candidate.name) && (!unit || candidate.name.size() > unit->name.size()))
                unit = &candidate;
        }
        if (!unit)
            return std::nullopt;
        total += value * unit->seconds;
        position += unit->name.size();
        sawUnit = true;
    }
    if (!std::isfinite(total) || total < 0.0)
        return std::nullopt;
    return total;
}

} // namespace vantorel
