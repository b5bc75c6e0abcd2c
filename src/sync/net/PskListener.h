#pragma once

#include "sync/net/NetworkError.h"
#include "sync/net/PskConnection.h"

#include <functional>
#include <memory>
#include <optional>

namespace vantorel {

// A TCP listener on any free port whose connections use TLS-PSK, optionally advertised by
// DNS-SD. Handlers run on the main thread from the event loop.
class PskListener
{
public:
    enum class State { setup, waiting, ready, failed, cancelled };

    using StateHandler = std::function<void(State state, const std::optional<NetworkError>& error)>;
    // Receives each incoming connection before its handshake; the handler owns it from then on
    // and starts it (or drops it, which closes it).
    using ConnectionHandler = std::function<void(std::unique_ptr<PskConnection> connection)>;

    virtual ~PskListener() = default;

    virtual void setStateHandler(StateHandler handler) = 0;
    virtual void setNewConnectionHandler(ConnectionHandler handler) = 0;

    // Starts listening; reports `ready` once listening (and advertised, when asked), `failed`
    // with the error when the port or the advertisement cannot be had.
    virtual void start() = 0;

    // Stops accepting and withdraws the advertisement; connections already handed over are left
    // alone. Nothing more is reported afterwards.
    virtual void cancel() = 0;

    // The port listened on, 0 until ready.
    virtual quint16 port() const = 0;
};

} // namespace vantorel
