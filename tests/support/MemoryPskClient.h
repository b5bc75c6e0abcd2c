#pragma once

#include "sync/net/PskParameters.h"

#include <QByteArray>

#include <memory>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace vantorel::test {

// An OpenSSL TLS 1.2 PSK client on memory buffers, offering the sync suite with `parameters`: a
// test moves its bytes itself, so it can cut, slow or rewrite them.
class MemoryPskClient
{
public:
    explicit MemoryPskClient(PskParameters parameters);
    ~MemoryPskClient();

    SSL* ssl() const { return m_ssl; }
    // Runs the handshake as far as the bytes given so far allow; true once it has finished.
    bool handshake();
    // What the client wrote and nobody took yet.
    QByteArray takeOutput();
    // Bytes from the server.
    void give(QByteArrayView bytes);

private:
    PskParameters m_parameters;
    SSL_CTX* m_context = nullptr;
    SSL* m_ssl = nullptr;
};

} // namespace vantorel::test
