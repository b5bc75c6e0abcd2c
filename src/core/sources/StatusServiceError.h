#pragma once

#include <QString>

#include <exception>
#include <string>

namespace vantorel {

// The status-page client's own failure: the page answered with a status other than 2xx.
// Transport failures arrive as HttpError and unreadable documents as JsonDecodeError.
class StatusServiceError final : public std::exception
{
public:
    enum class Code { badHTTPStatus };

    static StatusServiceError badHTTPStatus(int statusCode);

    Code code() const { return m_code; }
    int statusCode() const { return m_statusCode; }

    // "ステータスAPIが HTTP 503 を返しました。"
    QString message() const;
    const char* what() const noexcept override { return m_what.c_str(); }

    bool operator==(const StatusServiceError& other) const
    {
        return m_code == other.m_code && m_statusCode == other.m_statusCode;
    }

private:
    StatusServiceError(Code code, int statusCode);

    Code m_code;
    int m_statusCode;
    std::string m_what;
};

} // namespace vantorel
