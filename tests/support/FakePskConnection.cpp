#include "support/FakePskConnection.h"

namespace vantorel {

bool FakePskConnection::Script::reportState(State state, std::optional<NetworkError> error)
{
    if (!stateHandler)
        return false;
    stateHandler(state, error);
    return true;
}

bool FakePskConnection::Script::completeSend(std::optional<NetworkError> error)
{
    if (pendingSends.isEmpty())
        return false;
    pendingSends.takeFirst()(error);
    return true;
}

bool FakePskConnection::Script::deliver(const QByteArray& bytes, bool isComplete, std::optional<NetworkError> error)
{
    if (!pendingReceive)
        return false;
    auto completion = std::exchange(pendingReceive, std::nullopt);
    (*completion)(bytes, isComplete, error);
    return true;
}

bool FakePskConnection::Script::setUpTls()
{
    return tlsSetupHandler && tlsSetupHandler();
}

FakePskConnection::FakePskConnection()
    : m_script(std::make_shared<Script>())
{
}

void FakePskConnection::setStateHandler(StateHandler handler)
{
    m_script->stateHandler = std::move(handler);
}

void FakePskConnection::setTlsSetupHandler(TlsSetupHandler handler)
{
    m_script->tlsSetupHandler = std::move(handler);
}

void FakePskConnection::start()
{
    m_script->started = true;
}

bool FakePskConnection::isLocalNetworkDenied() const
{
    return m_script->localNetworkDenied;
}

void FakePskConnection::send(const QByteArray& content, SendCompletion completion)
{
    m_script->sent.append(content);
    m_script->pendingSends.append(std::move(completion));
}

void FakePskConnection::receive(qsizetype, qsizetype maximumLength, ReceiveCompletion completion)
{
    ++m_script->receiveCount;
    m_script->lastMaximumLength = maximumLength;
    m_script->pendingReceive = std::move(completion);
}

void FakePskConnection::cancel()
{
    ++m_script->cancelCount;
}

} // namespace vantorel
