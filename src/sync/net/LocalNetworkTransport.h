#pragma once

#include "sync/net/NetworkEndpoint.h"
#include "sync/net/PairedHost.h"
#include "sync/net/UsageSyncTransport.h"

#include <QObject>
#include <QUuid>

#include <memory>
#include <optional>

namespace vantorel {

class Sleeper;
class SyncChannel;
class SyncNetworkServices;

// Reads the paired Mac's snapshot over the local network: one TLS-PSK connection keyed by the
// device credential per fetch, one `readSnapshot`, one answer checked against the paired host.
// A new fetch supersedes the one in progress.
class LocalNetworkTransport final : public QObject, public UsageSyncTransport
{
public:
    // How long the Mac may take to answer a read.
    static constexpr double answerTimeoutSeconds = 20.0;

    // With `testEndpoint` the Mac is reached there instead of being looked up by DNS-SD.
    // `services` and `sleeper` must outlive the transport.
    LocalNetworkTransport(PairedHost host, SyncNetworkServices& services, Sleeper& sleeper,
                          std::optional<NetworkEndpoint> testEndpoint = std::nullopt);
    ~LocalNetworkTransport() override;

    QCoro::Task<UsageSyncSnapshot> fetchSnapshot(CancelToken token = {}) override;
    void cancel() override;

private:
    QCoro::Task<NetworkEndpoint> resolveEndpoint(CancelToken token);

    const PairedHost m_host;
    SyncNetworkServices& m_services;
    Sleeper& m_sleeper;
    const std::optional<NetworkEndpoint> m_testEndpoint;
    std::shared_ptr<SyncChannel> m_channel;
    std::optional<QUuid> m_operationID;
};

} // namespace vantorel
