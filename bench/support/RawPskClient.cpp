#include "RawPskClient.h"

#include <QtEndian>

#include <openssl/ssl.h>

#include <cstring>

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace vantorel::bench {

namespace {

// The companion gives the handshake 10 s and the answer 20 s.
constexpr int socketTimeoutSeconds = 10;

const QByteArray readRequest = R"({"message":{"readSnapshot":{}},"version":1})";
const QByteArray snapshotPrefix = R"({"message":{"snapshot")";

unsigned int offerKey(SSL* ssl, const char*, char* identity, unsigned int maximumIdentity, unsigned char* key,
                      unsigned int maximumKey)
{
    const auto* client = static_cast<const QByteArray*>(SSL_get_app_data(ssl));
    const QByteArray& id = client[0];
    const QByteArray& secret = client[1];
    if (unsigned(id.size()) + 1 > maximumIdentity || unsigned(secret.size()) > maximumKey)
        return 0;
    std::memcpy(identity, id.constData(), size_t(id.size()) + 1);
    std::memcpy(key, secret.constData(), size_t(secret.size()));
    return unsigned(secret.size());
}

bool readExactly(SSL* ssl, char* into, int length)
{
    while (length > 0) {
        const int got = SSL_read(ssl, into, length);
        if (got <= 0)
            return false;
        into += got;
        length -= got;
    }
    return true;
}

// A numeric address and port; empty when `host` is not one.
sockaddr_storage numericAddress(const QByteArray& host, std::uint16_t port, socklen_t& length)
{
    sockaddr_storage address{};
    length = 0;
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.constData(), QByteArray::number(port).constData(), &hints, &found) == 0 && found) {
        std::memcpy(&address, found->ai_addr, found->ai_addrlen);
        length = found->ai_addrlen;
        ::freeaddrinfo(found);
    }
    return address;
}

} // namespace

RawPskClient::RawPskClient(QByteArray identity, QByteArray key)
    : m_identity(std::move(identity))
    , m_key(std::move(key))
{
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_cipher_list(context, "PSK-AES128-GCM-SHA256");
    SSL_CTX_set_psk_client_callback(context, offerKey);
    m_context = context;
}

RawPskClient::~RawPskClient()
{
    SSL_CTX_free(static_cast<SSL_CTX*>(m_context));
}

void RawPskClient::setRoute(QByteArray host, QByteArray source)
{
    m_host = std::move(host);
    m_source = std::move(source);
}

bool RawPskClient::readSnapshot(std::uint16_t port) const
{
    return exchange(port, readRequest, snapshotPrefix).answered;
}

bool RawPskClient::requestPairing(std::uint16_t port, const QByteArray& deviceName) const
{
    const QByteArray request = R"({"message":{"pair":{"deviceName":")" + deviceName + R"("}},"version":1})";
    return exchange(port, request, {}).sent;
}

RawPskClient::Exchange RawPskClient::exchange(std::uint16_t port, const QByteArray& request,
                                              const QByteArray& answerPrefix) const
{
    Exchange done;
    socklen_t length = 0;
    const sockaddr_storage address = numericAddress(m_host, port, length);
    if (length == 0)
        return done;
    const int descriptor = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval timeout{socketTimeoutSeconds, 0};
    ::setsockopt(descriptor, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(descriptor, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    bool bound = true;
    if (!m_source.isEmpty()) {
        socklen_t sourceLength = 0;
        const sockaddr_storage source = numericAddress(m_source, 0, sourceLength);
        bound = sourceLength > 0 && ::bind(descriptor, reinterpret_cast<const sockaddr*>(&source), sourceLength) == 0;
    }
    if (bound && ::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
        SSL* ssl = SSL_new(static_cast<SSL_CTX*>(m_context));
        const QByteArray credential[2] = {m_identity, m_key};
        SSL_set_app_data(ssl, credential);
        SSL_set_fd(ssl, descriptor);
        if (SSL_connect(ssl) == 1) {
            QByteArray frame(4, Qt::Uninitialized);
            qToBigEndian(std::uint32_t(request.size()), frame.data());
            frame += request;
            done.sent = SSL_write(ssl, frame.constData(), int(frame.size())) == frame.size();
            char header[4];
            if (done.sent && readExactly(ssl, header, 4)) {
                QByteArray payload(qFromBigEndian<std::uint32_t>(header), Qt::Uninitialized);
                done.answered =
                    readExactly(ssl, payload.data(), int(payload.size())) && payload.startsWith(answerPrefix);
            }
            SSL_shutdown(ssl);
        }
        SSL_free(ssl);
    }
    ::close(descriptor);
    return done;
}

} // namespace vantorel::bench
