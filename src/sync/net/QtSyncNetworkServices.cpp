#include "sync/net/QtSyncNetworkServices.h"

#include "sync/net/QtPskConnection.h"
#include "sync/net/QtPskListener.h"
#include "sync/net/SyncNetworkParameters.h"

#include <QTimer>

namespace vantorel {

QtSyncNetworkServices::QtSyncNetworkServices(DnsSdPublisher* publisher, BrowserFactory browsers,
                                             QHostAddress listenAddress)
    : m_publisher(publisher)
    , m_browsers(std::move(browsers))
    , m_listenAddress(std::move(listenAddress))
{
}

std::unique_ptr<PskListener> QtSyncNetworkServices::makeListener(const PskParameters& parameters,
                                                                 const std::optional<QString>& serviceName,
                                                                 std::shared_ptr<ProvenAddresses> provenAddresses)
{
    std::optional<QtPskListener::Advertisement> advertisement;
    if (serviceName)
        advertisement = QtPskListener::Advertisement{*serviceName, SyncNetworkParameters::serviceType()};
    return std::make_unique<QtPskListener>(parameters, m_listenAddress, std::move(advertisement), m_publisher,
                                           std::move(provenAddresses));
}

std::unique_ptr<PskConnection> QtSyncNetworkServices::makeConnection(const NetworkEndpoint& endpoint,
                                                                     const PskParameters& parameters)
{
    return std::visit(
        [&](const auto& target) { return QtPskConnection::connecting(target.host, target.port, parameters); },
        endpoint);
}

std::unique_ptr<DnsSdBrowser> QtSyncNetworkServices::makeBrowser()
{
    return m_browsers ? m_browsers() : nullptr;
}

void QtSyncNetworkServices::checkAdvertising(DnsSdPublisher::AvailabilityHandler done)
{
    if (m_publisher) {
        m_publisher->checkAvailability(std::move(done));
        return;
    }
    QTimer::singleShot(0, [done = std::move(done)] { done(std::nullopt); });
}

} // namespace vantorel
