#include "sync/net/QtPskListener.h"

#include "sync/net/QtPskConnection.h"

#include <QTcpServer>

namespace vantorel {

// Takes the accepted descriptor itself: QSslServer would only hand a socket over after the
// handshake, but the connection's owner must run the handshake under its own time-out.
class QtPskListener::Server final : public QTcpServer
{
public:
    explicit Server(QtPskListener& owner)
        : m_owner(owner)
    {
    }

protected:
    void incomingConnection(qintptr socketDescriptor) override { m_owner.accept(socketDescriptor); }

private:
    QtPskListener& m_owner;
};

QtPskListener::QtPskListener(PskParameters parameters, QHostAddress address, std::optional<Advertisement> advertisement,
                             DnsSdPublisher* publisher)
    : m_parameters(std::move(parameters))
    , m_address(std::move(address))
    , m_advertisement(std::move(advertisement))
    , m_publisher(publisher)
    , m_server(std::make_unique<Server>(*this))
{
}

QtPskListener::~QtPskListener()
{
    m_registration.reset();
    m_server->close();
}

void QtPskListener::setStateHandler(StateHandler handler)
{
    m_stateHandler = std::move(handler);
}

void QtPskListener::setNewConnectionHandler(ConnectionHandler handler)
{
    m_connectionHandler = std::move(handler);
}

void QtPskListener::report(State state, std::optional<NetworkError> error)
{
    QMetaObject::invokeMethod(
        &m_context,
        [this, state, error = std::move(error)] {
            if (!m_stateHandler || m_cancelled)
                return;
            // A copy, so a handler that destroys this listener does not destroy itself mid-call.
            const StateHandler handler = m_stateHandler;
            handler(state, error);
        },
        Qt::QueuedConnection);
}

void QtPskListener::start()
{
    if (m_started || m_cancelled)
        return;
    m_started = true;
    if (!m_server->listen(m_address, 0)) {
        report(State::failed, NetworkError::fromSocketError(m_server->serverError(), m_server->errorString()));
        return;
    }
    if (m_advertisement && m_publisher) {
        m_registration = m_publisher->publish(m_advertisement->name, m_advertisement->type, m_server->serverPort(),
                                              [this](const NetworkError& error) {
                                                  if (!m_cancelled)
                                                      report(State::failed, error);
                                              });
    }
    report(State::ready);
}

void QtPskListener::accept(qintptr socketDescriptor)
{
    // Handed over on a later turn, not from inside QTcpServer's accept loop, so the handler may
    // drop this listener. A hand-over that never runs closes the connection with the lambda.
    auto connection = std::make_shared<std::unique_ptr<PskConnection>>(
        QtPskConnection::accepted(socketDescriptor, m_parameters));
    QMetaObject::invokeMethod(
        &m_context,
        [this, connection] {
            if (!m_connectionHandler || m_cancelled)
                return;
            // A copy, so the handler's captures outlive a handler that destroys this listener.
            const ConnectionHandler handler = m_connectionHandler;
            handler(std::move(*connection));
        },
        Qt::QueuedConnection);
}

void QtPskListener::cancel()
{
    if (m_cancelled)
        return;
    m_cancelled = true;
    m_stateHandler = {};
    m_connectionHandler = {};
    m_registration.reset();
    m_server->close();
}

quint16 QtPskListener::port() const
{
    return m_server->isListening() ? m_server->serverPort() : 0;
}

} // namespace vantorel
