#pragma once

#include <QString>

#include <stdexcept>

namespace vantorel {

// Why a webhook post did not succeed. The kind tells the caller what a retry may do:
// `temporarilyUnavailable` means nothing left the machine (a retry cannot duplicate),
// `outcomeUnknown` means Discord may have posted the message, `rateLimited` carries the wait,
// and `badHTTPStatus`, `invalidURL` and `invalidContent` are refusals a plain retry won't cure.
class DiscordWebhookError : public std::runtime_error
{
public:
    enum class Kind {
        badHTTPStatus,
        rateLimited,
        invalidURL,
        invalidContent,
        invalidResponse,
        outcomeUnknown,
        temporarilyUnavailable,
    };

    static DiscordWebhookError badHTTPStatus(int status) { return DiscordWebhookError(Kind::badHTTPStatus, status, 0); }
    static DiscordWebhookError rateLimited(double retryAfter) { return DiscordWebhookError(Kind::rateLimited, 0, retryAfter); }
    static DiscordWebhookError invalidURL() { return DiscordWebhookError(Kind::invalidURL); }
    static DiscordWebhookError invalidContent() { return DiscordWebhookError(Kind::invalidContent); }
    static DiscordWebhookError invalidResponse() { return DiscordWebhookError(Kind::invalidResponse); }
    static DiscordWebhookError outcomeUnknown() { return DiscordWebhookError(Kind::outcomeUnknown); }
    static DiscordWebhookError temporarilyUnavailable() { return DiscordWebhookError(Kind::temporarilyUnavailable); }

    Kind kind() const { return m_kind; }
    // The refused status for `badHTTPStatus`, 0 otherwise.
    int httpStatus() const { return m_httpStatus; }
    // Seconds to wait for `rateLimited`, 0 otherwise.
    double retryAfter() const { return m_retryAfter; }

    // The text shown to the user.
    QString message() const;

    bool operator==(const DiscordWebhookError& other) const
    {
        return m_kind == other.m_kind && m_httpStatus == other.m_httpStatus && m_retryAfter == other.m_retryAfter;
    }

private:
    explicit DiscordWebhookError(Kind kind, int httpStatus = 0, double retryAfter = 0);

    Kind m_kind;
    int m_httpStatus;
    double m_retryAfter;
};

} // namespace vantorel
