#include "sync/net/OpensslPskContext.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cstring>

namespace vantorel {

namespace {

// OpenSSL hands the key callback the client's identity cut at its first NUL. The identity's length
// as the client sent it is noted here, from the key exchange message before OpenSSL reads it, so
// that "expected identity, NUL, anything" does not pass for the expected identity.
int identityLengthSlot()
{
    static const int slot = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return slot;
}

void noteIdentityLength(int writing, int, int contentType, const void* message, size_t length, SSL* ssl, void*)
{
    // A handshake message: type, 3 length bytes, then (PSK key exchange) a 2-byte identity length.
    const auto* bytes = static_cast<const unsigned char*>(message);
    if (writing || contentType != SSL3_RT_HANDSHAKE || length < 6 || bytes[0] != SSL3_MT_CLIENT_KEY_EXCHANGE)
        return;
    // Stored plus one, so that a slot never written (null) reads as no length at all.
    const auto identityLength = quintptr(bytes[4]) << 8 | bytes[5];
    SSL_set_ex_data(ssl, identityLengthSlot(), reinterpret_cast<void*>(identityLength + 1));
}

unsigned int keyForIdentity(SSL* ssl, const char* identity, unsigned char* key, unsigned int maximumKeyBytes)
{
    const auto* owner = static_cast<const OpensslPskContext*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if (!owner || !identity)
        return 0;
    const PskParameters& parameters = owner->parameters();
    const auto sentLength = reinterpret_cast<quintptr>(SSL_get_ex_data(ssl, identityLengthSlot()));
    // No key for any other identity: the handshake then fails with "unknown psk identity".
    if (sentLength != quintptr(parameters.identity.size()) + 1
        || QByteArrayView(identity) != QByteArrayView(parameters.identity)
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
    // A peer that stalls mid-handshake keeps no record buffers while it waits.
    SSL_CTX_set_mode(context, SSL_MODE_RELEASE_BUFFERS);
    SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_app_data(context, this);
    SSL_CTX_set_msg_callback(context, noteIdentityLength);
    SSL_CTX_set_psk_server_callback(context, keyForIdentity);
    m_context = context;
}

OpensslPskContext::~OpensslPskContext()
{
    SSL_CTX_free(m_context);
}

} // namespace vantorel
