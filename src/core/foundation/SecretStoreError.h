#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

namespace vantorel {

// A secret-store operation failed. `status()` is one of the codes in `SecretStore::Status` (or
// another negative code of the same numbering); `detail()` is a technical note for the log that
// never contains the secret.
class SecretStoreError : public std::runtime_error
{
public:
    explicit SecretStoreError(std::int32_t status, const QString& detail = {})
        : std::runtime_error("secret store status " + std::to_string(status))
        , m_status(status)
        , m_detail(detail)
    {
    }

    std::int32_t status() const { return m_status; }
    QString detail() const { return m_detail; }

private:
    std::int32_t m_status;
    QString m_detail;
};

} // namespace vantorel
