#include "core/sources/StatusServiceError.h"

namespace vantorel {

StatusServiceError::StatusServiceError(Code code, int statusCode)
    : m_code(code)
    , m_statusCode(statusCode)
{
    m_what = message().toStdString();
}

StatusServiceError StatusServiceError::badHTTPStatus(int statusCode)
{
    return StatusServiceError(Code::badHTTPStatus, statusCode);
}

QString StatusServiceError::message() const
{
    return QStringLiteral("ステータスAPIが HTTP %1 を返しました。").arg(m_statusCode);
}

} // namespace vantorel
