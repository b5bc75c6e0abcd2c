#include "support/LoopbackSyncNetworkServices.h"

namespace vantorel {

namespace {

class RecordingListener final : public PskListener
{
public:
    RecordingListener(std::unique_ptr<PskListener> inner, std::shared_ptr<QList<quint16>> ports)
        : m_inner(std::move(inner))
        , m_ports(std::move(ports))
    {
    }
    void setStateHandler(StateHandler handler) override { m_inner->setStateHandler(std::move(handler)); }
    void setNewConnectionHandler(ConnectionHandler handler) override
    {
        m_inner->setNewConnectionHandler(std::move(handler));
    }
    void start() override
    {
        m_inner->start();
        m_ports->append(m_inner->port());
    }
    void cancel() override { m_inner->cancel(); }
    quint16 port() const override { return m_inner->port(); }

private:
    std::unique_ptr<PskListener> m_inner;
    std::shared_ptr<QList<quint16>> m_ports;
};

} // namespace

std::unique_ptr<PskListener> LoopbackSyncNetworkServices::makeListener(const PskParameters& parameters,
                                                                       const std::optional<QString>& serviceName,
                                                                       std::shared_ptr<ProvenAddresses> provenAddresses)
{
    if (const auto error = std::exchange(nextListenerError, std::nullopt))
        throw *error;
    return std::make_unique<RecordingListener>(
        m_inner.makeListener(parameters, serviceName, std::move(provenAddresses)), m_ports);
}

std::unique_ptr<PskConnection> LoopbackSyncNetworkServices::makeConnection(const NetworkEndpoint& endpoint,
                                                                           const PskParameters& parameters)
{
    return m_inner.makeConnection(endpoint, parameters);
}

HostPortEndpoint LoopbackSyncNetworkServices::lastListener() const
{
    return {QStringLiteral("127.0.0.1"), m_ports->isEmpty() ? quint16(0) : m_ports->last()};
}

} // namespace vantorel
