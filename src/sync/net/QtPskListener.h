#pragma once

#include "sync/net/DnsSdPublisher.h"
#include "sync/net/PskConnection.h"
#include "sync/net/PskListener.h"
#include "sync/net/PskParameters.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace vantorel {

class OpensslPskContext;
class ProvenAddresses;

// PskListener over QTcpServer. Each accepted socket is handed over as an OpensslPskConnection
// before its handshake, so the connection's owner runs the handshake under its own time-out; all
// of them share one TLS context.
class QtPskListener final : public PskListener
{
public:
    struct Advertisement
    {
        QString name;
        QString type;
    };

    // Listens on `address` (every interface by default) at a free port; advertised through
    // `publisher` when both are given. Where peers proved the key from is kept in
    // `provenAddresses`, shared with other listeners of the same key, or in a set of its own.
    explicit QtPskListener(PskParameters parameters, QHostAddress address = QHostAddress::Any,
                           std::optional<Advertisement> advertisement = std::nullopt,
                           DnsSdPublisher* publisher = nullptr,
                           std::shared_ptr<ProvenAddresses> provenAddresses = nullptr);
    ~QtPskListener() override;

    void setStateHandler(StateHandler handler) override;
    void setNewConnectionHandler(ConnectionHandler handler) override;
    void start() override;
    void cancel() override;
    quint16 port() const override;

private:
    class Server;

    void accept(qintptr socketDescriptor, PskConnection::Origin origin, const QByteArray& address);
    void report(State state, std::optional<NetworkError> error = std::nullopt);

    QHostAddress m_address;
    std::optional<Advertisement> m_advertisement;
    DnsSdPublisher* m_publisher = nullptr;
    std::unique_ptr<Server> m_server;
    std::shared_ptr<const OpensslPskContext> m_tls;
    std::unique_ptr<DnsSdRegistration> m_registration;
    QObject m_context;
    StateHandler m_stateHandler;
    ConnectionHandler m_connectionHandler;
    bool m_started = false;
    bool m_cancelled = false;
    bool m_advertisingFailed = false;
};

} // namespace vantorel
