#pragma once

#include <QString>

#include <array>
#include <exception>
#include <optional>

namespace vantorel {

// What went wrong while reading Claude usage, reduced to the ten situations the user can act
// on. Each has one fixed Japanese message naming the button to press. The raw values are the
// case names and are kept by the view model, so they never change.
enum class ClaudeUsageFailure {
    communication,
    rateLimited,
    accessDenied,
    credentialExpired,
    reauthenticationRequired,
    unsupportedStorage,
    keychainPermission,
    keychainUnavailable,
    responseFormat,
    serviceUnavailable,
};

inline constexpr std::array allClaudeUsageFailures{
    ClaudeUsageFailure::communication,      ClaudeUsageFailure::rateLimited,
    ClaudeUsageFailure::accessDenied,       ClaudeUsageFailure::credentialExpired,
    ClaudeUsageFailure::reauthenticationRequired, ClaudeUsageFailure::unsupportedStorage,
    ClaudeUsageFailure::keychainPermission, ClaudeUsageFailure::keychainUnavailable,
    ClaudeUsageFailure::responseFormat,     ClaudeUsageFailure::serviceUnavailable,
};

QString rawValue(ClaudeUsageFailure failure);
std::optional<ClaudeUsageFailure> claudeUsageFailureFromRaw(const QString& raw);

// The Japanese text shown for the class.
QString message(ClaudeUsageFailure failure);

// True exactly for the classes that call for re-reading or renewing Claude Code's login.
bool needsCredentialRecovery(ClaudeUsageFailure failure);

// Classifies any error raised while reading Claude usage: the credential store's, the usage
// client's, a JSON decoding error or a transport failure. Total: an unknown error (or none) is
// `serviceUnavailable`. A CancellationError is not a failure and is rethrown, so a handler that
// classifies whatever it caught still lets cancellation reach its own caller.
ClaudeUsageFailure classifyClaudeUsageFailure(const std::exception_ptr& error);

} // namespace vantorel
