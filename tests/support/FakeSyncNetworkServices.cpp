#include "support/FakeSyncNetworkServices.h"

namespace vantorel {

namespace {

class FakeListener final : public PskListener
{
public:
    explicit FakeListener(std::shared_ptr<FakeSyncNetworkServices::Listener> script)
        : m_script(std::move(script))
    {
    }
    void setStateHandler(StateHandler handler) override { m_script->stateHandler = std::move(handler); }
    void setNewConnectionHandler(ConnectionHandler handler) override
    {
        m_script->connectionHandler = std::move(handler);
    }
    void start() override { m_script->started = true; }
    void cancel() override { m_script->cancelled = true; }
    quint16 port() const override { return 0; }

private:
    std::shared_ptr<FakeSyncNetworkServices::Listener> m_script;
};

} // namespace

void FakeSyncNetworkServices::Listener::report(PskListener::State state, std::optional<NetworkError> error) const
{
    if (stateHandler)
        stateHandler(state, error);
}

std::shared_ptr<FakePskConnection::Script> FakeSyncNetworkServices::Listener::connect(PskConnection::Origin origin) const
{
    auto connection = std::make_unique<FakePskConnection>();
    auto script = connection->script();
    script->origin = std::move(origin);
    if (connectionHandler)
        connectionHandler(std::move(connection));
    return script;
}

std::unique_ptr<PskListener> FakeSyncNetworkServices::makeListener(const PskParameters&,
                                                                   const std::optional<QString>& serviceName,
                                                                   std::shared_ptr<ProvenAddresses> provenAddresses)
{
    auto script = std::make_shared<Listener>();
    script->serviceName = serviceName;
    script->provenAddresses = std::move(provenAddresses);
    listeners.append(script);
    return std::make_unique<FakeListener>(script);
}

std::unique_ptr<PskConnection> FakeSyncNetworkServices::makeConnection(const NetworkEndpoint&,
                                                                       const PskParameters&)
{
    auto connection = std::make_unique<FakePskConnection>();
    connections.append(connection->script());
    return connection;
}

std::unique_ptr<DnsSdBrowser> FakeSyncNetworkServices::makeBrowser()
{
    auto browser = std::make_unique<FakeBrowser>();
    browsers.append(browser->script());
    return browser;
}

} // namespace vantorel
