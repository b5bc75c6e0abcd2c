#pragma once

#include "sync/net/SyncNetworkServices.h"
#include "support/FakeDnsSd.h"
#include "support/FakePskConnection.h"

#include <QList>

#include <memory>
#include <optional>

namespace vantorel {

// Scripted listeners, connections and browsers for what real sockets cannot produce on demand:
// listener states at any moment (late ones from a replaced listener included), and connections
// and browsers whose every step the test plays.
class FakeSyncNetworkServices final : public SyncNetworkServices
{
public:
    // One listener as the code under test set it up. Cancelling it keeps the handlers, so a test
    // can play a report that was already on its way.
    struct Listener
    {
        std::optional<QString> serviceName;
        std::shared_ptr<ProvenAddresses> provenAddresses;
        bool started = false;
        bool cancelled = false;
        PskListener::StateHandler stateHandler;
        PskListener::ConnectionHandler connectionHandler;

        void report(PskListener::State state, std::optional<NetworkError> error = std::nullopt) const;
        // Hands over a new connection from `origin` and returns its script.
        std::shared_ptr<FakePskConnection::Script> connect(PskConnection::Origin origin = {}) const;
    };

    std::unique_ptr<PskListener> makeListener(const PskParameters& parameters,
                                              const std::optional<QString>& serviceName,
                                              std::shared_ptr<ProvenAddresses> provenAddresses) override;
    std::unique_ptr<PskConnection> makeConnection(const NetworkEndpoint& endpoint,
                                                  const PskParameters& parameters) override;
    std::unique_ptr<DnsSdBrowser> makeBrowser() override;
    // Kept for the test to answer.
    void checkAdvertising(DnsSdPublisher::AvailabilityHandler done) override { advertisingChecks.append(std::move(done)); }

    // Every listener made, in order, kept after the code under test dropped it.
    QList<std::shared_ptr<Listener>> listeners;
    // Every outgoing connection made.
    QList<std::shared_ptr<FakePskConnection::Script>> connections;
    QList<std::shared_ptr<FakeBrowser::Script>> browsers;
    // Every check of advertising not answered yet.
    QList<DnsSdPublisher::AvailabilityHandler> advertisingChecks;
};

} // namespace vantorel
