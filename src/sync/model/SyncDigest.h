#pragma once

#include <QByteArray>

namespace vantorel {

// Digests of sync documents, through OpenSSL: Qt's own SHA-256 is several times slower, and a
// whole snapshot is hashed on the GUI thread whenever its content may have changed.
struct SyncDigest
{
    // The 32-byte SHA-256 digest of `bytes`. Any thread.
    static QByteArray sha256(const QByteArray& bytes);
};

} // namespace vantorel
