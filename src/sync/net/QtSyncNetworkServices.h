#pragma once

#include "sync/net/DnsSdPublisher.h"
#include "sync/net/SyncNetworkServices.h"

#include <QHostAddress>

#include <functional>

namespace vantorel {

// Listeners and connections over Qt's TLS sockets; advertising and browsing through the DNS-SD
// implementations it is given.
class QtSyncNetworkServices final : public SyncNetworkServices
{
public:
    using BrowserFactory = std::function<std::unique_ptr<DnsSdBrowser>()>;

    // Without a publisher listeners are not advertised; without a browser factory makeBrowser()
    // gives nothing. Both must outlive what this makes.
    explicit QtSyncNetworkServices(DnsSdPublisher* publisher = nullptr, BrowserFactory browsers = {},
                                   QHostAddress listenAddress = QHostAddress::Any);

    std::unique_ptr<PskListener> makeListener(const PskParameters& parameters,
                                              const std::optional<QString>& serviceName,
                                              std::shared_ptr<ProvenAddresses> provenAddresses) override;
    std::unique_ptr<PskConnection> makeConnection(const NetworkEndpoint& endpoint,
                                                  const PskParameters& parameters) override;
    std::unique_ptr<DnsSdBrowser> makeBrowser() override;
    void checkAdvertising(DnsSdPublisher::AvailabilityHandler done) override;

private:
    DnsSdPublisher* m_publisher;
    BrowserFactory m_browsers;
    QHostAddress m_listenAddress;
};

} // namespace vantorel
