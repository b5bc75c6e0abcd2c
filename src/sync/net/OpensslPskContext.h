#pragma once

#include "sync/net/PskParameters.h"

#include <memory>

typedef struct ssl_ctx_st SSL_CTX;

namespace vantorel {

// The server's TLS setup for one listener, made once and shared by every connection it accepts:
// TLS 1.2 only, the single suite PSK-AES128-GCM-SHA256, no certificates, no identity hint, no
// session resumption, no renegotiation. The key is handed only to a client offering exactly the
// expected identity, so any other identity fails the handshake.
class OpensslPskContext
{
public:
    static std::shared_ptr<const OpensslPskContext> make(PskParameters parameters);
    ~OpensslPskContext();

    OpensslPskContext(const OpensslPskContext&) = delete;
    OpensslPskContext& operator=(const OpensslPskContext&) = delete;

    // Null when OpenSSL could not set the context up; every handshake then fails.
    SSL_CTX* context() const { return m_context; }
    const PskParameters& parameters() const { return m_parameters; }

private:
    explicit OpensslPskContext(PskParameters parameters);

    const PskParameters m_parameters;
    SSL_CTX* m_context = nullptr;
};

} // namespace vantorel
