#include "core/sources/OpenAIRateServiceError.h"

namespace vantorel {

OpenAIRateServiceError::OpenAIRateServiceError(Code code, int statusCode)
    : m_code(code)
    , m_statusCode(statusCode)
{
    m_what = message().toStdString();
}

OpenAIRateServiceError::OpenAIRateServiceError(Code code)
    : OpenAIRateServiceError(code, 0)
{
}

OpenAIRateServiceError OpenAIRateServiceError::badHTTPStatus(int statusCode)
{
    return OpenAIRateServiceError(Code::badHTTPStatus, statusCode);
}

QString OpenAIRateServiceError::message() const
{
    switch (m_code) {
    case Code::badHTTPStatus:
        return QStringLiteral("OpenAI APIが HTTP %1 を返しました。").arg(m_statusCode);
    case Code::emptyModel:
        return QStringLiteral("モデル名が空です。設定でモデル名を入力してください。");
    case Code::invalidResponse:
        return QStringLiteral("OpenAI APIのレート制限ヘッダーを読み取れませんでした。");
    case Code::missingRateLimitHeaders:
        return QStringLiteral("OpenAI APIの応答にレート制限ヘッダーがありません。");
    }
    return {};
}

QString rawValue(OpenAIRateServiceError::Code code)
{
    using Code = OpenAIRateServiceError::Code;
    switch (code) {
    case Code::badHTTPStatus:
        return QStringLiteral("badHTTPStatus");
    case Code::emptyModel:
        return QStringLiteral("emptyModel");
    case Code::invalidResponse:
        return QStringLiteral("invalidResponse");
    case Code::missingRateLimitHeaders:
        return QStringLiteral("missingRateLimitHeaders");
    }
    return {};
}

} // namespace vantorel
