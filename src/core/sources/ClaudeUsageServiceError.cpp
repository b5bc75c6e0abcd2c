#include "core/sources/ClaudeUsageServiceError.h"

#include <cmath>

namespace vantorel {

namespace {

// A wait as whole seconds, rounded up so the text never promises an earlier retry than allowed.
QString secondsText(double seconds)
{
    return QString::number(std::ceil(seconds), 'f', 0);
}

} // namespace

ClaudeUsageServiceError::ClaudeUsageServiceError(Code code, std::optional<double> retryAfterSeconds, int statusCode)
    : m_code(code)
    , m_retryAfterSeconds(retryAfterSeconds)
    , m_statusCode(statusCode)
{
    m_what = message().toStdString();
}

ClaudeUsageServiceError::ClaudeUsageServiceError(Code code)
    : ClaudeUsageServiceError(code, std::nullopt, 0)
{
}

ClaudeUsageServiceError ClaudeUsageServiceError::rateLimited(std::optional<double> retryAfterSeconds)
{
    return ClaudeUsageServiceError(Code::rateLimited, retryAfterSeconds, 0);
}

ClaudeUsageServiceError ClaudeUsageServiceError::badHTTPStatus(int statusCode)
{
    return ClaudeUsageServiceError(Code::badHTTPStatus, std::nullopt, statusCode);
}

QString ClaudeUsageServiceError::message() const
{
    switch (m_code) {
    case Code::rateLimited:
        if (m_retryAfterSeconds)
            return QStringLiteral("Claude使用量APIがレート制限中です。%1秒後に再試行できます。")
                .arg(secondsText(*m_retryAfterSeconds));
        return QStringLiteral("Claude使用量APIがレート制限中です。しばらく待ってから再試行してください。");
    case Code::badHTTPStatus:
        return QStringLiteral("Claude使用量APIが HTTP %1 を返しました。").arg(m_statusCode);
    case Code::emptyAccessToken:
        return QStringLiteral("Claudeのアクセストークンが空か、送信できない文字を含んでいます。");
    case Code::invalidResponse:
        return QStringLiteral("Claude使用量APIの応答を読み取れませんでした。");
    case Code::unauthorized:
        return QStringLiteral("Claudeの認証が受け付けられませんでした（HTTP 401）。");
    case Code::missingUsageBuckets:
        return QStringLiteral("Claude使用量APIの応答に5時間枠と週間枠の使用量がありません。");
    }
    return {};
}

QString rawValue(ClaudeUsageServiceError::Code code)
{
    using Code = ClaudeUsageServiceError::Code;
    switch (code) {
    case Code::rateLimited:
        return QStringLiteral("rateLimited");
    case Code::badHTTPStatus:
        return QStringLiteral("badHTTPStatus");
    case Code::emptyAccessToken:
        return QStringLiteral("emptyAccessToken");
    case Code::invalidResponse:
        return QStringLiteral("invalidResponse");
    case Code::unauthorized:
        return QStringLiteral("unauthorized");
    case Code::missingUsageBuckets:
        return QStringLiteral("missingUsageBuckets");
    }
    return {};
}

} // namespace vantorel
