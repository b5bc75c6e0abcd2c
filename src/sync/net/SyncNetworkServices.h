#pragma once

#include "sync/net/DnsSdBrowser.h"
#include "sync/net/DnsSdPublisher.h"
#include "sync/net/NetworkEndpoint.h"
#include "sync/net/PskConnection.h"
#include "sync/net/PskListener.h"
#include "sync/net/PskParameters.h"

#include <QString>

#include <memory>
#include <optional>

namespace vantorel {

class ProvenAddresses;

// Where the sync server and transports get their listeners, connections and browsers, so that
// tests can hand them scripted ones.
class SyncNetworkServices
{
public:
    virtual ~SyncNetworkServices() = default;

    // A listener, not started, on any free port; advertised under `serviceName` with the sync
    // service type when a name is given. It keeps where peers proved the key from in
    // `provenAddresses`, or in a set of its own when none is given.
    virtual std::unique_ptr<PskListener> makeListener(const PskParameters& parameters,
                                                      const std::optional<QString>& serviceName,
                                                      std::shared_ptr<ProvenAddresses> provenAddresses) = 0;

    // A connection to `endpoint`, not started.
    virtual std::unique_ptr<PskConnection> makeConnection(const NetworkEndpoint& endpoint,
                                                          const PskParameters& parameters) = 0;

    // A browser, not started.
    virtual std::unique_ptr<DnsSdBrowser> makeBrowser() = 0;

    // Whether listeners can be advertised now, answered as DnsSdPublisher::checkAvailability
    // does; nothing is missing when listeners are not advertised at all.
    virtual void checkAdvertising(DnsSdPublisher::AvailabilityHandler done) = 0;
};

} // namespace vantorel
