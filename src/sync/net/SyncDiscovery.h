#pragma once

#include "core/foundation/CancelToken.h"
#include "core/foundation/PendingCompletion.h"
#include "core/foundation/TaskHandle.h"
#include "sync/net/DnsSdBrowser.h"
#include "sync/net/NetworkEndpoint.h"

#include <QCoroTask>
#include <QString>

#include <exception>
#include <memory>
#include <optional>

namespace vantorel {

class Sleeper;
class SyncNetworkServices;

// Finds the Mac's DNS-SD instance of one exact name among the sync services in "local." and
// hands back its endpoint; gives up after 10 s. Serves one resolve. Main thread only; held in a
// shared_ptr (the browser's handlers and the time-out hold it weakly).
class SyncDiscovery : public std::enable_shared_from_this<SyncDiscovery>
{
public:
    static constexpr double timeoutSeconds = 10.0;

    // `services` and `sleeper` must outlive the discovery.
    static std::shared_ptr<SyncDiscovery> create(SyncNetworkServices& services, Sleeper& sleeper);

    SyncDiscovery(const SyncDiscovery&) = delete;
    SyncDiscovery& operator=(const SyncDiscovery&) = delete;

    // The endpoint of the first instance named exactly `serviceName`. Throws
    // UsageSyncError(timedOut) after 10 s, the classified browser failure (a browser that is
    // waiting counts as failed), or CancellationError on `token` or cancel().
    QCoro::Task<NetworkEndpoint> resolve(QString serviceName, CancelToken token = {});

    // Ends a waiting resolve with CancellationError and stops the search.
    void cancel();

private:
    SyncDiscovery(SyncNetworkServices& services, Sleeper& sleeper);

    void handleResults(const QList<NetworkEndpoint>& results, const QString& serviceName);
    void finish(std::optional<NetworkEndpoint> endpoint, std::exception_ptr error);
    static QCoro::Task<> timeout(std::weak_ptr<SyncDiscovery> discovery, Sleeper& sleeper, CancelToken token);

    SyncNetworkServices& m_services;
    Sleeper& m_sleeper;
    std::unique_ptr<DnsSdBrowser> m_browser;
    std::optional<PendingCompletion<NetworkEndpoint>> m_continuation;
    TaskHandle m_timer;
};

} // namespace vantorel
