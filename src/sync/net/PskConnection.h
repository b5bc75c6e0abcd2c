#pragma once

#include "sync/net/NetworkError.h"

#include <QByteArray>

#include <functional>
#include <optional>

namespace vantorel {

// One TCP connection with TLS-PSK, as sync needs it: started once, reports its state, sends
// byte strings and reads chunks, and is cancelled. Handlers and completions run on the main
// thread from the event loop, never from inside a call on this object. After cancel() nothing
// more is reported: pending completions are dropped.
class PskConnection
{
public:
    enum class State { setup, preparing, waiting, ready, failed, cancelled };

    // `error` is set for `waiting` and `failed`.
    using StateHandler = std::function<void(State state, const std::optional<NetworkError>& error)>;
    using SendCompletion = std::function<void(const std::optional<NetworkError>& error)>;
    // Bytes (possibly empty), whether the peer has finished sending and nothing more will come,
    // and an error. Bytes that arrived before an error or the end are delivered first.
    using ReceiveCompletion =
        std::function<void(const QByteArray& bytes, bool isComplete, const std::optional<NetworkError>& error)>;
    // Whether the connection may set TLS up; one refused fails at once.
    using TlsSetupHandler = std::function<bool()>;

    // Where an accepted connection's peer is: the group it gives way in (its IPv4 address or its
    // IPv6 /64, or its very address when remembered), and whether a paired device proved the key
    // from its very address lately.
    struct Origin
    {
        QByteArray addressGroup;
        bool remembered = false;

        bool operator==(const Origin&) const = default;
    };

    virtual ~PskConnection() = default;

    // Replaces the state handler; an empty function removes it, after which no state is reported.
    virtual void setStateHandler(StateHandler handler) = 0;

    // Runs synchronously (also from within start()) each time, just before an accepted connection
    // sets up TLS state of its own for the peer's handshake, which holds tens of kilobytes until
    // the handshake ends. It may cancel other connections, never this one; when it answers false
    // the connection fails instead. Connections that keep no such state per peer never call it.
    virtual void setTlsSetupHandler(TlsSetupHandler handler) { Q_UNUSED(handler) }

    // Of an accepted connection; empty for connections that keep no record of it.
    virtual Origin origin() const { return {}; }

    // Connects or, for an accepted connection, runs the server side of the handshake. Reports
    // `preparing` once the handshake begins (for an accepted connection, once the peer has sent
    // something), `ready` once it succeeded, `failed` with the error otherwise. Failures after
    // `ready` reach the next send or receive instead, so bytes already received are not lost.
    virtual void start() = 0;

    // Whether the platform reports the path as refused for lack of local-network access.
    virtual bool isLocalNetworkDenied() const = 0;

    // Queues `content`; the completion runs once the stack has taken all of it, or with the error.
    virtual void send(const QByteArray& content, SendCompletion completion) = 0;

    // Delivers between `minimumIncompleteLength` and `maximumLength` bytes as soon as there are
    // any, the end of the stream, or an error. One receive at a time.
    virtual void receive(qsizetype minimumIncompleteLength, qsizetype maximumLength, ReceiveCompletion completion) = 0;

    // Closes gracefully (TLS close-notify, then FIN) after writes already queued went out.
    virtual void cancel() = 0;
};

} // namespace vantorel
