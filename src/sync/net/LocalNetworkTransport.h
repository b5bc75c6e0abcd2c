#pragma once

#include "core/foundation/Clock.h"
#include "sync/net/NetworkEndpoint.h"
#include "sync/net/PairedHost.h"
#include "sync/net/PairingInvitation.h"
#include "sync/net/UsageSyncTransport.h"

#include <QObject>
#include <QUuid>

#include <memory>
#include <optional>

namespace vantorel {

class Sleeper;
class SyncChannel;
class SyncDiscovery;
class SyncNetworkServices;

// Reads the paired Mac's snapshot over the local network: one TLS-PSK connection keyed by the
// device credential per fetch, one `readSnapshot`, one answer checked against the paired host.
// A new fetch supersedes the one in progress.
class LocalNetworkTransport final : public QObject, public UsageSyncTransport
{
public:
    // How long the Mac may take to answer a read.
    static constexpr double answerTimeoutSeconds = 20.0;
    // The least time given the user to approve a pairing, however close the invitation's expiry.
    static constexpr double minimumPairingWaitSeconds = 1.0;

    // With `testEndpoint` the Mac is reached there instead of being looked up by DNS-SD.
    // `services` and `sleeper` must outlive the transport.
    LocalNetworkTransport(PairedHost host, SyncNetworkServices& services, Sleeper& sleeper,
                          std::optional<NetworkEndpoint> testEndpoint = std::nullopt);
    ~LocalNetworkTransport() override;

    QCoro::Task<UsageSyncSnapshot> fetchSnapshot(CancelToken token = {}) override;
    void cancel() override;

    // Pairs with the Mac of `invitation`: finds its pairing listener by DNS-SD unless `endpoint`
    // is given, sends `pair` with the cleaned `deviceName` and waits until the invitation lapses
    // (at least 1 s) for the user's decision on the Mac. Returns the host to keep. Throws the
    // invitation's validation error, the Mac's refusal, UsageSyncError(invalidData) for an
    // answer that fails the checks, the network's errors, or CancellationError.
    static QCoro::Task<PairedHost> pair(PairingInvitation invitation, QString deviceName, SyncNetworkServices& services,
                                        Sleeper& sleeper, Clock clock,
                                        std::optional<NetworkEndpoint> endpoint = std::nullopt,
                                        CancelToken token = {});

private:
    QCoro::Task<NetworkEndpoint> resolveEndpoint(CancelToken token);

    const PairedHost m_host;
    SyncNetworkServices& m_services;
    Sleeper& m_sleeper;
    const std::optional<NetworkEndpoint> m_testEndpoint;
    std::shared_ptr<SyncDiscovery> m_discovery;
    std::shared_ptr<SyncChannel> m_channel;
    std::optional<QUuid> m_operationID;
};

} // namespace vantorel
