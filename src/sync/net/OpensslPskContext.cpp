#include "sync/net/OpensslPskContext.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cstring>

namespace vantorel {

namespace {

unsigned int keyForIdentity(SSL* ssl, const char* identity, unsigned char* key, unsigned int maximumKeyBytes)
{
    const auto* owner = static_cast<const OpensslPskContext*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if (!owner || !identity)
        return 0;
    const PskParameters& parameters = owner->parameters();
    // No key for any other identity: the handshake then fails with "unknown psk identity".
    if (QByteArrayView(identity) != QByteArrayView(parameters.identity)
        || unsigned(parameters.key.size()) > maximumKeyBytes)
        return 0;
    std::memcpy(key, parameters.key.constData(), size_t(parameters.key.size()));
    return unsigned(parameters.key.size());
}

} // namespace

std::shared_ptr<const OpensslPskContext> OpensslPskContext::make(PskParameters parameters)
{
    return std::shared_ptr<const OpensslPskContext>(new OpensslPskContext(std::move(parameters)));
}

OpensslPskContext::OpensslPskContext(PskParameters parameters)
    : m_parameters(std::move(parameters))
{
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    const bool configured = context && SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) == 1
        && SSL_CTX_set_max_proto_version(context, TLS1_2_VERSION) == 1
        && SSL_CTX_set_cipher_list(context, PskParameters::cipherSuite) == 1;
    if (!configured) {
        SSL_CTX_free(context);
        // Left on this thread's error queue, the failure would be blamed on the next TLS call.
        ERR_clear_error();
        return;
    }
    // No resumption: every connection proves the key afresh.
    SSL_CTX_set_options(context, SSL_OP_NO_TICKET | SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_COMPRESSION);
    SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_OFF);
    SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_app_data(context, this);
    SSL_CTX_set_psk_server_callback(context, keyForIdentity);
    m_context = context;
}

OpensslPskContext::~OpensslPskContext()
{
    SSL_CTX_free(m_context);
}

} // namespace vantorel
