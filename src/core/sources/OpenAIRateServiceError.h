#pragma once

#include <QString>

#include <array>
#include <exception>
#include <string>

namespace vantorel {

// A failure of the OpenAI API rate-limit probe that is not a transport failure, with its fixed
// Japanese message.
class OpenAIRateServiceError final : public std::exception
{
public:
    enum class Code { badHTTPStatus, emptyModel, invalidResponse, missingRateLimitHeaders };

    static constexpr std::array allCodes{Code::badHTTPStatus, Code::emptyModel, Code::invalidResponse,
                                         Code::missingRateLimitHeaders};

    static OpenAIRateServiceError badHTTPStatus(int statusCode);
    // A case without payload (badHTTPStatus then carries status 0).
    explicit OpenAIRateServiceError(Code code);

    Code code() const { return m_code; }
    // The status of badHTTPStatus; 0 for every other case.
    int statusCode() const { return m_statusCode; }

    QString message() const;
    const char* what() const noexcept override { return m_what.c_str(); }

    bool operator==(const OpenAIRateServiceError& other) const
    {
        return m_code == other.m_code && m_statusCode == other.m_statusCode;
    }

private:
    OpenAIRateServiceError(Code code, int statusCode);

    Code m_code;
    int m_statusCode = 0;
    std::string m_what;
};

// The case name for log lines.
QString rawValue(OpenAIRateServiceError::Code code);

} // namespace vantorel
