#include "core/rules/DiscordWebhookService.h"

#include "core/foundation/CancellationError.h"
#include "core/foundation/HttpError.h"
#include "core/foundation/HttpResponse.h"
#include "core/foundation/HttpTransport.h"
#include "core/foundation/Json.h"
#include "core/rules/DiscordWebhookError.h"

#include <QRegularExpression>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace vantorel {

namespace {

const QRegularExpression& webhookHostPattern()
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(\A(?:[a-z0-9](?:[a-z0-9-]{0,61}[a-z0-9])?\.)*(?:discord\.com|discordapp\.com)\z)"));
    return pattern;
}

const QRegularExpression& webhookPathPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(\A/api/(?:v[1-9][0-9]*/)?webhooks/[0-9]+/[A-Za-z0-9_-]+\z)"));
    return pattern;
}

const QRegularExpression& leadingEveryonePattern()
{
    static const QRegularExpression pattern(QStringLiteral(R"(\A\s*@everyone(?=\s|\z))"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

constexpr qsizetype maximumHostLength = 253;

std::optional<double> parseDecimal(QByteArray text)
{
    text = text.trimmed();
    if (text.startsWith('+'))
        text.remove(0, 1);
    if (text.isEmpty() || text.startsWith('+'))
        return std::nullopt;
    double value = 0;
    const char* end = text.constData() + text.size();
    const auto [stop, error] = std::from_chars(text.constData(), end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

// Failures that happen before a request leaves the machine, so a retry cannot duplicate.
bool nothingWasSent(HttpError::Kind kind)
{
    switch (kind) {
    case HttpError::Kind::notConnectedToInternet:
    case HttpError::Kind::cannotFindHost:
    case HttpError::Kind::cannotConnectToHost:
    case HttpError::Kind::dnsLookupFailed:
    case HttpError::Kind::secureConnectionFailed:
        return true;
    case HttpError::Kind::timedOut:
    case HttpError::Kind::cancelled:
    case HttpError::Kind::networkConnectionLost:
    case HttpError::Kind::responseTooLarge:
    case HttpError::Kind::other:
        break;
    }
    return false;
}

QByteArray payload(const QString& content, bool mentionEveryone)
{
    Json parse = Json::array();
    if (mentionEveryone)
        parse.push_back("everyone");
    Json body = {
        {"content", json::str(content)},
        {"allowed_mentions",
         {{"parse", parse}, {"users", Json::array()}, {"roles", Json::array()}, {"replied_user", false}}},
    };
    return json::write(body, json::Form::store);
}

} // namespace

DiscordWebhookService::DiscordWebhookService()
    : m_transport(std::make_shared<HttpClient>(transportOptions()))
{
}

DiscordWebhookService::DiscordWebhookService(std::shared_ptr<HttpTransport> transport)
    : m_transport(std::move(transport))
{
}

DiscordWebhookService::~DiscordWebhookService() = default;

HttpClient::Options DiscordWebhookService::transportOptions()
{
    HttpClient::Options options;
    options.requestTimeoutSeconds = requestTimeoutSeconds;
    options.resourceTimeoutSeconds = requestTimeoutSeconds;
    options.followRedirects = false;
    options.maximumResponseBytes = maximumResponseBytes;
    return options;
}

QCoro::Task<void> DiscordWebhookService::send(QString content, QString webhookURL, bool mentionEveryone,
                                              CancelToken token)
{
    const std::optional<DiscordWebhookURL> url = validatedURL(webhookURL);
    if (!url)
        throw DiscordWebhookError::invalidURL();
    if (mentionEveryone)
        content = contentMentioningEveryone(content);
    if (content.size() > maximumContentLength)
        throw DiscordWebhookError::invalidContent();

    HttpRequest request;
    request.url = QUrl(url->url, QUrl::StrictMode);
    request.method = "POST";
    request.headers.set("Content-Type", "application/json");
    request.maximumResponseBytes = maximumResponseBytes;
    try {
        request.body = payload(content, mentionEveryone);
    } catch (const std::exception&) {
        throw DiscordWebhookError::invalidResponse();
    }
    token.throwIfCancelled();

    std::optional<DiscordWebhookError> failure;
    HttpResponse response;
    try {
        response = co_await m_transport->send(std::move(request), token);
    } catch (const HttpError& error) {
        failure = nothingWasSent(error.kind()) ? DiscordWebhookError::temporarilyUnavailable()
                                               : DiscordWebhookError::outcomeUnknown();
    } catch (const std::exception&) {
        // Cancellation included: the request may already have reached Discord.
        failure = DiscordWebhookError::outcomeUnknown();
    }
    if (!failure)
        failure = classify(response, *url);
    if (failure)
        throw *failure;
}

std::optional<DiscordWebhookError> DiscordWebhookService::classify(const HttpResponse& response,
                                                                   const DiscordWebhookURL& url)
{
    const int status = response.statusCode;
    if (status == 429)
        return DiscordWebhookError::rateLimited(retryDelay(response.headers.value("Retry-After"), response.body));
    if (status == 408 || (status >= 500 && status <= 599))
        return DiscordWebhookError::outcomeUnknown();
    if (status < 200 || status > 299)
        return DiscordWebhookError::badHTTPStatus(status);
    if (status != 200)
        return DiscordWebhookError::outcomeUnknown();

    const std::optional<Json> document = json::parse(response.body);
    if (!document)
        return DiscordWebhookError::outcomeUnknown();
    const std::optional<QString> id = json::string(*document, "id");
    const std::optional<QString> channelID = json::string(*document, "channel_id");
    const std::optional<QString> webhookID = json::string(*document, "webhook_id");
    if (!id || !channelID || !webhookID || !isSnowflake(*id) || !isSnowflake(*channelID))
        return DiscordWebhookError::outcomeUnknown();
    if (*webhookID != url.webhookID)
        return DiscordWebhookError::outcomeUnknown();
    if (url.threadID && *channelID != *url.threadID)
        return DiscordWebhookError::outcomeUnknown();
    return std::nullopt;
}

bool DiscordWebhookService::isValidWebhookURL(const QString& text)
{
    return validatedURL(text).has_value();
}

std::optional<DiscordWebhookURL> DiscordWebhookService::validatedURL(const QString& text)
{
    const QString trimmed = text.trimmed();
    // Only printable ASCII may appear as typed, and no escapes at all: an escape could carry a
    // different host, path or query past the checks below.
    for (const QChar c : trimmed) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f || c == u'%')
            return std::nullopt;
    }
    if (trimmed.contains(u'#'))
        return std::nullopt;

    const qsizetype schemeEnd = trimmed.indexOf(u':');
    if (schemeEnd <= 0)
        return std::nullopt;
    const QString scheme = trimmed.left(schemeEnd);
    if (scheme.compare(u"https", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    if (!QStringView(trimmed).mid(schemeEnd + 1).startsWith(u"//"))
        return std::nullopt;

    const qsizetype authorityStart = schemeEnd + 3;
    qsizetype authorityEnd = trimmed.size();
    for (const QChar stop : {u'/', u'?'}) {
        const qsizetype at = trimmed.indexOf(stop, authorityStart);
        if (at >= 0)
            authorityEnd = std::min(authorityEnd, at);
    }
    const QString authority = trimmed.mid(authorityStart, authorityEnd - authorityStart);
    if (authority.contains(u'@'))
        return std::nullopt;

    QString host = authority;
    QString port;
    if (const qsizetype colon = authority.indexOf(u':'); colon >= 0) {
        host = authority.left(colon);
        port = authority.mid(colon + 1);
        if (port != u"443")
            return std::nullopt;
    }
    const QString lowerHost = host.toLower();
    if (lowerHost.isEmpty() || lowerHost.size() > maximumHostLength
        || !webhookHostPattern().match(lowerHost).hasMatch())
        return std::nullopt;

    const qsizetype queryMark = trimmed.indexOf(u'?', authorityEnd);
    const QString path = trimmed.mid(authorityEnd, queryMark < 0 ? -1 : queryMark - authorityEnd);
    if (!webhookPathPattern().match(path).hasMatch())
        return std::nullopt;
    const QStringList pieces = path.split(u'/', Qt::SkipEmptyParts);
    const QString webhookID = pieces.at(pieces.size() - 2);
    if (!isSnowflake(webhookID))
        return std::nullopt;

    std::optional<QString> threadID;
    if (queryMark >= 0) {
        const QStringList items = trimmed.mid(queryMark + 1).split(u'&');
        for (const QString& item : items) {
            const qsizetype equals = item.indexOf(u'=');
            const QString name = equals < 0 ? item : item.left(equals);
            const std::optional<QString> value = equals < 0 ? std::nullopt : std::optional(item.mid(equals + 1));
            if (name == u"wait") {
                if (value != u"true" && value != u"false")
                    return std::nullopt;
            } else if (name == u"thread_id") {
                if (threadID || !value || !isSnowflake(*value))
                    return std::nullopt;
                threadID = value;
            } else {
                return std::nullopt;
            }
        }
    }

    QString url = scheme + u"://" + host;
    if (!port.isEmpty())
        url += u':' + port;
    url += path + u"?wait=true";
    if (threadID)
        url += u"&thread_id=" + *threadID;
    return DiscordWebhookURL{url, webhookID, threadID};
}

bool DiscordWebhookService::isSnowflake(QStringView text)
{
    static constexpr QStringView largest = u"18446744073709551615";
    if (text.isEmpty() || text.size() > largest.size() || text.front() == u'0')
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return text.size() < largest.size() || text.compare(largest) <= 0;
}

QString DiscordWebhookService::contentMentioningEveryone(const QString& content)
{
    QString head;
    QString tail;
    if (const QRegularExpressionMatch match = leadingEveryonePattern().match(content); match.hasMatch()) {
        head = content.left(match.capturedEnd());
        tail = content.mid(match.capturedEnd());
    } else {
        head = QStringLiteral("@everyone\n");
        tail = content;
    }
    tail.replace(QStringLiteral("@everyone"), QStringLiteral("@\u200Beveryone"));
    tail.replace(QStringLiteral("@here"), QStringLiteral("@\u200Bhere"));
    return head + tail;
}

double DiscordWebhookService::retryDelay(const std::optional<QByteArray>& retryAfterHeader, const QByteArray& body)
{
    std::optional<double> delay;
    const auto consider = [&delay](std::optional<double> candidate) {
        if (candidate && std::isfinite(*candidate) && *candidate > 0)
            delay = std::max(delay.value_or(0), *candidate);
    };
    if (retryAfterHeader)
        consider(parseDecimal(*retryAfterHeader));
    if (const std::optional<Json> document = json::parse(body))
        consider(json::number(*document, "retry_after"));
    return std::min(delay.value_or(defaultRetryDelay), maximumRetryDelay);
}

} // namespace vantorel
