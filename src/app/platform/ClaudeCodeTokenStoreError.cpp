#include "app/platform/ClaudeCodeTokenStoreError.h"

#include "app/platform/ClaudeUsageFailure.h"
#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 7> claudeCodeTokenStoreErrorNames{u"decodingFailed",   u"tokenExpired",
                                           u"tokenMissing",     u"keychainTimedOut",
                                           u"keychainPermissionDenied", u"keychainReadFailed",
                                           u"signedOut"};
}

ClaudeCodeTokenStoreError::ClaudeCodeTokenStoreError(Code code, QString reason, std::optional<Date> expiresAt)
    : m_code(code)
    , m_reason(std::move(reason))
    , m_expiresAt(expiresAt)
    , m_what("claude code credential: " + rawValue(code).toStdString())
{
}

ClaudeCodeTokenStoreError::ClaudeCodeTokenStoreError(Code code)
    : ClaudeCodeTokenStoreError(code, {}, std::nullopt)
{
}

ClaudeCodeTokenStoreError ClaudeCodeTokenStoreError::decodingFailed(QString reason)
{
    return ClaudeCodeTokenStoreError(Code::decodingFailed, std::move(reason), std::nullopt);
}

ClaudeCodeTokenStoreError ClaudeCodeTokenStoreError::tokenExpired(Date expiresAt)
{
    return ClaudeCodeTokenStoreError(Code::tokenExpired, {}, expiresAt);
}

QString ClaudeCodeTokenStoreError::message() const
{
    return vantorel::message(classifyClaudeUsageFailure(std::make_exception_ptr(*this)));
}

QString rawValue(ClaudeCodeTokenStoreError::Code code)
{
    return enumnames::name(claudeCodeTokenStoreErrorNames, code);
}

} // namespace vantorel
