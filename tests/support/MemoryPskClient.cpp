#include "support/MemoryPskClient.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cstring>

namespace vantorel::test {

namespace {

unsigned int offerKey(SSL* ssl, const char*, char* identity, unsigned int maximumIdentity, unsigned char* key,
                      unsigned int maximumKey)
{
    const auto* parameters = static_cast<const PskParameters*>(SSL_get_app_data(ssl));
    if (unsigned(parameters->identity.size()) + 1 > maximumIdentity || unsigned(parameters->key.size()) > maximumKey)
        return 0;
    std::memcpy(identity, parameters->identity.constData(), size_t(parameters->identity.size()) + 1);
    std::memcpy(key, parameters->key.constData(), size_t(parameters->key.size()));
    return unsigned(parameters->key.size());
}

} // namespace

MemoryPskClient::MemoryPskClient(PskParameters parameters)
    : m_parameters(std::move(parameters))
    , m_context(SSL_CTX_new(TLS_client_method()))
{
    SSL_CTX_set_max_proto_version(m_context, TLS1_2_VERSION);
    SSL_CTX_set_cipher_list(m_context, PskParameters::cipherSuite);
    SSL_CTX_set_psk_client_callback(m_context, offerKey);
    m_ssl = SSL_new(m_context);
    SSL_set_app_data(m_ssl, &m_parameters);
    SSL_set_bio(m_ssl, BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()));
    SSL_set_connect_state(m_ssl);
}

MemoryPskClient::~MemoryPskClient()
{
    SSL_free(m_ssl);
    SSL_CTX_free(m_context);
    ERR_clear_error();
}

bool MemoryPskClient::handshake()
{
    const bool finished = SSL_do_handshake(m_ssl) == 1;
    ERR_clear_error();
    return finished;
}

QByteArray MemoryPskClient::takeOutput()
{
    BIO* outgoing = SSL_get_wbio(m_ssl);
    QByteArray bytes(qsizetype(BIO_ctrl_pending(outgoing)), Qt::Uninitialized);
    BIO_read(outgoing, bytes.data(), int(bytes.size()));
    return bytes;
}

void MemoryPskClient::give(QByteArrayView bytes)
{
    BIO_write(SSL_get_rbio(m_ssl), bytes.data(), int(bytes.size()));
}

} // namespace vantorel::test
