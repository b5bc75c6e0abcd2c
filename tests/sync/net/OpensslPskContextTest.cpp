#include "sync/net/OpensslPskContext.h"

#include <QByteArray>
#include <QStringBuilder>

#include <gtest/gtest.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cstring>
#include <memory>

using namespace vantorel;

namespace {

const PskParameters expected{"0F6C1D58-6E33-4A7B-9B52-3C5D2E1F0A99", QByteArray(PskParameters::keyBytes, 'k')};

unsigned int offerIdentity(SSL* ssl, const char*, char* identity, unsigned int maximumIdentity, unsigned char* key,
                           unsigned int maximumKey)
{
    const auto* offered = static_cast<const QByteArray*>(SSL_get_app_data(ssl));
    if (unsigned(offered->size()) + 1 > maximumIdentity || unsigned(expected.key.size()) > maximumKey)
        return 0;
    std::memcpy(identity, offered->constData(), size_t(offered->size()) + 1);
    std::memcpy(key, expected.key.constData(), size_t(expected.key.size()));
    return unsigned(expected.key.size());
}

QByteArray takeOutput(SSL* ssl)
{
    BIO* outgoing = SSL_get_wbio(ssl);
    QByteArray bytes(int(BIO_ctrl_pending(outgoing)), Qt::Uninitialized);
    BIO_read(outgoing, bytes.data(), int(bytes.size()));
    return bytes;
}

// A TLS client and the server's context talking through memory, so the client's bytes can be
// rewritten on their way. Returns the reason of the server's failure, 0 when both finished.
int handshakeReason(const OpensslPskContext& server, const QByteArray& offered, const QByteArray& find,
                    const QByteArray& replace)
{
    const std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> clientContext(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
    SSL_CTX_set_max_proto_version(clientContext.get(), TLS1_2_VERSION);
    SSL_CTX_set_cipher_list(clientContext.get(), PskParameters::cipherSuite);
    SSL_CTX_set_psk_client_callback(clientContext.get(), offerIdentity);
    const std::unique_ptr<SSL, decltype(&SSL_free)> client(SSL_new(clientContext.get()), SSL_free);
    const std::unique_ptr<SSL, decltype(&SSL_free)> accepted(SSL_new(server.context()), SSL_free);
    SSL_set_app_data(client.get(), &offered);
    SSL_set_bio(client.get(), BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()));
    SSL_set_bio(accepted.get(), BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()));
    SSL_set_connect_state(client.get());
    SSL_set_accept_state(accepted.get());
    int reason = -1;
    for (int flight = 0; flight < 8 && reason < 0; ++flight) {
        SSL_do_handshake(client.get());
        QByteArray toServer = takeOutput(client.get());
        if (!find.isEmpty())
            toServer.replace(find, replace);
        BIO_write(SSL_get_rbio(accepted.get()), toServer.constData(), int(toServer.size()));
        const int result = SSL_do_handshake(accepted.get());
        if (result == 1 && SSL_is_init_finished(client.get()))
            reason = 0;
        else if (result <= 0 && SSL_get_error(accepted.get(), result) == SSL_ERROR_SSL)
            reason = ERR_GET_REASON(ERR_peek_error());
        const QByteArray toClient = takeOutput(accepted.get());
        BIO_write(SSL_get_rbio(client.get()), toClient.constData(), int(toClient.size()));
        ERR_clear_error();
    }
    return reason;
}

} // namespace

TEST(OpensslPskContextTest, TheKeyGoesOnlyToTheExpectedIdentityWhole)
{
    const auto server = OpensslPskContext::make(expected);
    ASSERT_NE(server->context(), nullptr);
    EXPECT_EQ(handshakeReason(*server, expected.identity, {}, {}), 0);
    EXPECT_EQ(handshakeReason(*server, expected.identity.toLower(), {}, {}), SSL_R_PSK_IDENTITY_NOT_FOUND);
    // OpenSSL hands the server's callback the identity cut at a NUL: what follows must still count.
    EXPECT_EQ(handshakeReason(*server, expected.identity + "=more", expected.identity + '=',
                              expected.identity + QByteArray(1, '\0')),
              SSL_R_PSK_IDENTITY_NOT_FOUND);
    EXPECT_EQ(ERR_peek_error(), 0u);
}
