#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

namespace vantorel {

// A keychain write or delete failed with a status the store does not handle.
class KeychainError : public std::runtime_error
{
public:
    enum class Kind { unhandled };

    static KeychainError unhandled(std::int32_t status) { return KeychainError(status); }

    Kind kind() const { return Kind::unhandled; }
    std::int32_t status() const { return m_status; }

    // What the screen shows: "キーリング エラー（コード: -25299）".
    QString message() const { return QStringLiteral("キーリング エラー（コード: %1）").arg(m_status); }
    // What the log keeps: "Keychain エラー（コード: -25299）".
    QString logText() const { return QStringLiteral("Keychain エラー（コード: %1）").arg(m_status); }

    bool operator==(const KeychainError& other) const { return m_status == other.m_status; }

private:
    explicit KeychainError(std::int32_t status)
        : std::runtime_error("keychain status " + std::to_string(status))
        , m_status(status)
    {
    }

    std::int32_t m_status;
};

} // namespace vantorel
