#pragma once

#include "core/foundation/CancelToken.h"
#include "core/foundation/HttpClient.h"
#include "core/rules/DiscordWebhookURL.h"

#include <QByteArray>
#include <QString>

#include <QCoroTask>

#include <memory>
#include <optional>

namespace vantorel {

class DiscordWebhookError;
class HttpTransport;
struct HttpResponse;

// Posts one text message to a Discord webhook and tells, as precisely as the answer allows,
// whether Discord stored it, refused it, asked to wait, or left the outcome unknown. It keeps no
// per-message state; persistence and retries are the caller's. Lives on the thread that made it.
class DiscordWebhookService
{
public:
    // Discord rejects longer content; counted in UTF-16 code units.
    static constexpr qsizetype maximumContentLength = 2000;
    static constexpr double requestTimeoutSeconds = 60;
    // Wait used after a 429 that names no usable delay.
    static constexpr double defaultRetryDelay = 60;
    // A server-named delay beyond this is taken as this, so that one absurd value cannot stop
    // delivery for good.
    static constexpr double maximumRetryDelay = 3600;

    // Answers larger than this are not Discord's confirmation.
    static constexpr qint64 maximumResponseBytes = 1024 * 1024;

    // Owns an HttpClient with `transportOptions()`.
    DiscordWebhookService();
    // Sends through `transport`, which must refuse redirects and bound the exchange the way
    // `transportOptions()` does (tests aim it at a loopback server).
    explicit DiscordWebhookService(std::shared_ptr<HttpTransport> transport);
    ~DiscordWebhookService();
    DiscordWebhookService(const DiscordWebhookService&) = delete;
    DiscordWebhookService& operator=(const DiscordWebhookService&) = delete;

    // No redirects; the 60 s limit holds for the whole exchange.
    static HttpClient::Options transportOptions();

    // Posts `content`; returns when Discord confirmed the message. Throws DiscordWebhookError
    // for every failure, or CancellationError when `token` was cancelled before anything was
    // sent (cancelling in flight leaves the outcome unknown).
    QCoro::Task<void> send(QString content, QString webhookURL, bool mentionEveryone, CancelToken token = {});

    // The error an answer means, or nullopt for a confirmed message.
    static std::optional<DiscordWebhookError> classify(const HttpResponse& response, const DiscordWebhookURL& url);

    // True exactly when `validatedURL` accepts the text.
    static bool isValidWebhookURL(const QString& text);

    // Validates the raw text (surrounding white space allowed) without any normalisation that
    // could hide a doubtful part: https only, a Discord webhook host, no user info, fragment or
    // percent escape, port absent or 443, the webhook path, and only "wait" and one "thread_id"
    // in the query.
    static std::optional<DiscordWebhookURL> validatedURL(const QString& text);

    // Discord identifier: ASCII digits, no leading zero, fits in 64 unsigned bits.
    static bool isSnowflake(QStringView text);

    // Makes exactly one leading "@everyone" live (adding one on its own line when the content
    // does not start with it) and neutralises every later "@everyone" and "@here".
    static QString contentMentioningEveryone(const QString& content);

    // Seconds to wait after a 429: the larger of the "Retry-After" header and the body's
    // "retry_after" among those that are finite and positive, else 60; at most an hour.
    static double retryDelay(const std::optional<QByteArray>& retryAfterHeader, const QByteArray& body);

private:
    std::shared_ptr<HttpTransport> m_transport;
};

} // namespace vantorel
