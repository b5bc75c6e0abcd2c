#pragma once

#include <QString>

#include <array>
#include <exception>
#include <optional>
#include <string>

namespace vantorel {

// A failure of the Claude usage client that is not a transport failure. Each case has a fixed
// Japanese message; the failure classification reads the case and its payload.
class ClaudeUsageServiceError final : public std::exception
{
public:
    enum class Code { rateLimited, badHTTPStatus, emptyAccessToken, invalidResponse, unauthorized, missingUsageBuckets };

    static constexpr std::array allCodes{Code::rateLimited,     Code::badHTTPStatus, Code::emptyAccessToken,
                                         Code::invalidResponse, Code::unauthorized,  Code::missingUsageBuckets};

    // HTTP 429; the wait the server asked for, when it named a usable one.
    static ClaudeUsageServiceError rateLimited(std::optional<double> retryAfterSeconds);
    static ClaudeUsageServiceError badHTTPStatus(int statusCode);
    // A case without payload (rateLimited then carries no retry time, badHTTPStatus status 0).
    explicit ClaudeUsageServiceError(Code code);

    Code code() const { return m_code; }
    // Set only for rateLimited, and only when the server named a usable wait.
    std::optional<double> retryAfterSeconds() const { return m_retryAfterSeconds; }
    // The status of badHTTPStatus; 0 for every other case.
    int statusCode() const { return m_statusCode; }

    // The Japanese text shown to the user.
    QString message() const;
    const char* what() const noexcept override { return m_what.c_str(); }

    bool operator==(const ClaudeUsageServiceError& other) const
    {
        return m_code == other.m_code && m_retryAfterSeconds == other.m_retryAfterSeconds
            && m_statusCode == other.m_statusCode;
    }

private:
    ClaudeUsageServiceError(Code code, std::optional<double> retryAfterSeconds, int statusCode);

    Code m_code;
    std::optional<double> m_retryAfterSeconds;
    int m_statusCode = 0;
    std::string m_what;
};

// The case name ("missingUsageBuckets") for log lines.
QString rawValue(ClaudeUsageServiceError::Code code);

} // namespace vantorel
