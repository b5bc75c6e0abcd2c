#pragma once

#include "core/foundation/Date.h"

#include <QString>

#include <array>
#include <exception>
#include <optional>
#include <string>

namespace vantorel {

// Why Claude Code's stored credential gave no usable token. The "keychain" cases keep their
// names on every platform: they describe the read of the credential store, whatever holds it.
class ClaudeCodeTokenStoreError final : public std::exception
{
public:
    enum class Code {
        // The stored document is not the credential JSON.
        decodingFailed,
        // The token's expiry is not later than now.
        tokenExpired,
        // No OAuth object, no access token, or an empty one.
        tokenMissing,
        // Reading the credential took longer than the store's time-out.
        keychainTimedOut,
        // Reserved: nothing raises it on this platform.
        keychainPermissionDenied,
        // The credential could not be read (absent, unreadable, too large).
        keychainReadFailed,
        // Claude Code signed itself out after its refresh token died: an OAuth object without a
        // token and with an expiry that has passed. Only a new login helps.
        signedOut,
    };

    static constexpr std::array allCodes{Code::decodingFailed,   Code::tokenExpired,
                                         Code::tokenMissing,     Code::keychainTimedOut,
                                         Code::keychainPermissionDenied, Code::keychainReadFailed,
                                         Code::signedOut};

    // The only payload text the store uses.
    static inline const QString unsupportedPayload = QStringLiteral("unsupported-payload");

    static ClaudeCodeTokenStoreError decodingFailed(QString reason = unsupportedPayload);
    static ClaudeCodeTokenStoreError tokenExpired(Date expiresAt);
    // A case without payload.
    explicit ClaudeCodeTokenStoreError(Code code);

    Code code() const { return m_code; }
    // The text of decodingFailed; empty otherwise.
    const QString& reason() const { return m_reason; }
    // The expiry of tokenExpired.
    std::optional<Date> expiresAt() const { return m_expiresAt; }

    // The message of the failure class this error is shown as.
    QString message() const;
    const char* what() const noexcept override { return m_what.c_str(); }

    bool operator==(const ClaudeCodeTokenStoreError& other) const
    {
        return m_code == other.m_code && m_reason == other.m_reason && m_expiresAt == other.m_expiresAt;
    }

private:
    ClaudeCodeTokenStoreError(Code code, QString reason, std::optional<Date> expiresAt);

    Code m_code;
    QString m_reason;
    std::optional<Date> m_expiresAt;
    std::string m_what;
};

// The case name ("keychainTimedOut") for log lines.
QString rawValue(ClaudeCodeTokenStoreError::Code code);

} // namespace vantorel
