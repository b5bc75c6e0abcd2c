#include "sync/net/PskCallbacks.h"

#include <QMetaObject>

namespace vantorel {

void PskCallbacks::later(std::function<void()> call)
{
    QMetaObject::invokeMethod(&m_context, std::move(call), Qt::QueuedConnection);
}

void PskCallbacks::report(State state, std::optional<NetworkError> error)
{
    // The handler is looked up when the call runs, so removing it also silences queued reports.
    later([this, state, error = std::move(error)] {
        if (!m_stateHandler || m_cancelled)
            return;
        // A copy, so a handler that destroys the connection does not destroy itself mid-call.
        const PskConnection::StateHandler handler = m_stateHandler;
        handler(state, error);
    });
}

void PskCallbacks::awaitReceive(qsizetype maximumLength, PskConnection::ReceiveCompletion completion)
{
    m_receive = PendingReceive{std::max<qsizetype>(maximumLength, 1), std::move(completion)};
}

std::optional<qsizetype> PskCallbacks::receiveLimit() const
{
    return m_receive ? std::optional(m_receive->maximumLength) : std::nullopt;
}

void PskCallbacks::deliver(const QByteArray& bytes, bool isComplete, const std::optional<NetworkError>& error)
{
    if (!m_receive)
        return;
    later([completion = std::exchange(m_receive, std::nullopt)->completion, bytes, isComplete, error] {
        completion(bytes, isComplete, error);
    });
}

void PskCallbacks::refuseSend(PskConnection::SendCompletion completion, const NetworkError& error)
{
    later([completion = std::move(completion), error] { completion(error); });
}

void PskCallbacks::completeSends()
{
    for (PskConnection::SendCompletion& completion : std::exchange(m_sends, {}))
        later([completion = std::move(completion)] { completion(std::nullopt); });
}

void PskCallbacks::failSends(const NetworkError& error)
{
    for (PskConnection::SendCompletion& completion : std::exchange(m_sends, {}))
        refuseSend(std::move(completion), error);
}

void PskCallbacks::cancel()
{
    m_cancelled = true;
    m_stateHandler = {};
    m_receive.reset();
    m_sends.clear();
}

} // namespace vantorel
