#pragma once

#include "sync/model/UsageSyncError.h"
#include "sync/net/QtSyncNetworkServices.h"

#include <QHostAddress>
#include <QList>

#include <memory>

namespace vantorel {

// Real TLS-PSK listeners and connections on 127.0.0.1 (or on `listenAddress`), without DNS-SD,
// remembering the port of every listener started so a test can reach a server's listener directly.
class LoopbackSyncNetworkServices final : public SyncNetworkServices
{
public:
    explicit LoopbackSyncNetworkServices(const QHostAddress& listenAddress = QHostAddress::LocalHost)
        : m_inner(nullptr, {}, listenAddress)
    {
    }

    std::unique_ptr<PskListener> makeListener(const PskParameters& parameters,
                                              const std::optional<QString>& serviceName,
                                              std::shared_ptr<ProvenAddresses> provenAddresses) override;
    std::unique_ptr<PskConnection> makeConnection(const NetworkEndpoint& endpoint,
                                                  const PskParameters& parameters) override;
    std::unique_ptr<DnsSdBrowser> makeBrowser() override { return nullptr; }
    void checkAdvertising(DnsSdPublisher::AvailabilityHandler done) override { m_inner.checkAdvertising(std::move(done)); }

    // Ports of the listeners started so far, in order.
    const QList<quint16>& listenerPorts() const { return *m_ports; }
    // The listener started last.
    HostPortEndpoint lastListener() const;

    // When set, the next makeListener throws it.
    std::optional<UsageSyncError> nextListenerError;

private:
    QtSyncNetworkServices m_inner;
    std::shared_ptr<QList<quint16>> m_ports = std::make_shared<QList<quint16>>();
};

} // namespace vantorel
