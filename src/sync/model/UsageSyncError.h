#pragma once

#include "core/foundation/JsonFwd.h"

#include <QString>

#include <array>
#include <cstddef>
#include <exception>
#include <optional>
#include <string>

namespace vantorel {

// The one failure vocabulary of sync between the Mac and the companion. Each case has a fixed
// message shown to the user unchanged; the error also travels inside protocol messages.
class UsageSyncError : public std::exception
{
public:
    enum class Code {
        invalidData,
        unsupportedVersion,
        wrongHost,
        olderSnapshot,
        invitationExpired,
        pairingRejected,
        pairingBusy,
        notPaired,
        unavailable,
        timedOut,
        cancelled,
        keychainFailure,
        localNetworkDenied,
        authenticationFailed,
    };

    static constexpr std::array<Code, 14> allCodes = {
        Code::invalidData,       Code::unsupportedVersion, Code::wrongHost,       Code::olderSnapshot,
        Code::invitationExpired, Code::pairingRejected,    Code::pairingBusy,     Code::notPaired,
        Code::unavailable,       Code::timedOut,           Code::cancelled,       Code::keychainFailure,
        Code::localNetworkDenied, Code::authenticationFailed,
    };

    // invalidData: a value of this type is only default-constructed to be decoded into.
    UsageSyncError() = default;
    explicit UsageSyncError(Code code);

    Code code() const { return m_code; }
    // The fixed Japanese text shown to the user.
    QString message() const { return message(m_code); }
    static QString message(Code code);
    // The message as UTF-8.
    const char* what() const noexcept override;

    bool operator==(const UsageSyncError& other) const { return m_code == other.m_code; }

private:
    Code m_code = Code::invalidData;
    std::string m_what;
};

// The case name ("olderSnapshot"), which is also its JSON key.
QString rawValue(UsageSyncError::Code code);
std::optional<UsageSyncError::Code> usageSyncErrorCodeFromRaw(QStringView raw);

// JSON form: a one-key object naming the case with an empty object as value, {"timedOut":{}}.
// Reading counts only case names among the keys; exactly one must be there and hold an object.
Json toSyncJson(const UsageSyncError& error);
void fromSyncJson(const Json& json, UsageSyncError& error);

} // namespace vantorel

template <>
struct std::hash<vantorel::UsageSyncError>
{
    std::size_t operator()(const vantorel::UsageSyncError& error) const noexcept
    {
        return std::hash<int>()(static_cast<int>(error.code()));
    }
};
