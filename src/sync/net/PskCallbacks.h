#pragma once

#include "sync/net/PskConnection.h"

#include <QList>
#include <QObject>

#include <optional>

namespace vantorel {

// What a PskConnection owes its user, kept alike by every implementation: the state handler, the
// one waiting receive and the sends not yet taken by the stack. Each is answered on a later turn
// of the event loop, never from inside a call, and nothing is answered after cancel().
class PskCallbacks
{
public:
    using State = PskConnection::State;

    // Receiver of the queued answers (and of the owner's own signal connections): destroying it
    // drops whatever is still queued.
    QObject* context() { return &m_context; }

    void setStateHandler(PskConnection::StateHandler handler) { m_stateHandler = std::move(handler); }
    void report(State state, std::optional<NetworkError> error = std::nullopt);
    void later(std::function<void()> call);

    // Keeps `completion` as the waiting receive, for at most `maximumLength` bytes.
    void awaitReceive(qsizetype maximumLength, PskConnection::ReceiveCompletion completion);
    // The most bytes the waiting receive takes; none when no receive waits.
    std::optional<qsizetype> receiveLimit() const;
    // Answers the waiting receive, which then no longer waits.
    void deliver(const QByteArray& bytes, bool isComplete, const std::optional<NetworkError>& error);

    void addSend(PskConnection::SendCompletion completion) { m_sends.append(std::move(completion)); }
    bool hasSends() const { return !m_sends.isEmpty(); }
    // Answers one send with `error` without keeping it.
    void refuseSend(PskConnection::SendCompletion completion, const NetworkError& error);
    void completeSends();
    void failSends(const NetworkError& error);

    // Drops the handler, the waiting receive and the sends; nothing is reported afterwards.
    void cancel();
    bool isCancelled() const { return m_cancelled; }

private:
    struct PendingReceive
    {
        qsizetype maximumLength = 0;
        PskConnection::ReceiveCompletion completion;
    };

    QObject m_context;
    PskConnection::StateHandler m_stateHandler;
    bool m_cancelled = false;
    std::optional<PendingReceive> m_receive;
    QList<PskConnection::SendCompletion> m_sends;
};

} // namespace vantorel
