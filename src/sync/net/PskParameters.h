#pragma once

#include <QByteArray>

namespace vantorel {

// What both ends of a sync connection must share for the TLS handshake to succeed: TLS 1.2
// only, the single suite PSK-AES128-GCM-SHA256, no certificates, no identity hint, and this
// identity with this key.
struct PskParameters
{
    static constexpr qsizetype keyBytes = 32;
    static constexpr const char* cipherSuite = "PSK-AES128-GCM-SHA256";

    // UTF-8 bytes of the credential's upper-case UUID text.
    QByteArray identity;
    QByteArray key;

    bool operator==(const PskParameters&) const = default;
};

} // namespace vantorel
