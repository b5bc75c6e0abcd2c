#pragma once

#include <QString>

#include <exception>
#include <optional>
#include <string>

namespace vantorel {

// The failures of the cloud snapshot store, each with a fixed Japanese text shown to the user
// unchanged. Only retryLater carries a value: the seconds the server asked to wait.
class CloudSyncError : public std::exception
{
public:
    enum class Code {
        retryLater,
        notSignedIn,
        restricted,
        accountChanged,
        notPublished,
        anotherMac,
        unavailable,
        invalidConfiguration,
        quotaExceeded,
        invalidData,
    };

    // For retryLater use retryLater(seconds).
    explicit CloudSyncError(Code code);
    static CloudSyncError retryLater(double seconds);
    // invalidData for an entry of this PC's own cloud folder that is not what belongs there (a
    // link, a file where a folder belongs, an unreadable account); its text names `path`.
    static CloudSyncError damagedLocalEntry(const QString& path);

    Code code() const { return m_code; }
    // The local entry of damagedLocalEntry; empty otherwise.
    const QString& localEntry() const { return m_localEntry; }
    QString message() const;
    const char* what() const noexcept override;

    // True when the user has to sign in or enable sync again.
    bool requiresReauthorization() const;
    // retryLater's seconds when finite and not negative (zero and -0 included); otherwise absent.
    std::optional<double> retryAfterSeconds() const;

    // Same case and local entry, and for retryLater equal seconds (so NaN seconds equal nothing).
    bool operator==(const CloudSyncError& other) const;

private:
    Code m_code;
    double m_seconds = 0;
    QString m_localEntry;
    // what() of a damaged local entry; the fixed texts need no storage.
    std::string m_what;
};

} // namespace vantorel
