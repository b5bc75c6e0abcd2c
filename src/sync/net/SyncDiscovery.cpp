#include "sync/net/SyncDiscovery.h"

#include "core/foundation/Sleeper.h"
#include "sync/model/UsageSyncError.h"
#include "sync/net/SyncNetworkFailure.h"
#include "sync/net/SyncNetworkParameters.h"
#include "sync/net/SyncNetworkServices.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace vantorel {

std::shared_ptr<SyncDiscovery> SyncDiscovery::create(SyncNetworkServices& services, Sleeper& sleeper)
{
    return std::shared_ptr<SyncDiscovery>(new SyncDiscovery(services, sleeper));
}

SyncDiscovery::SyncDiscovery(SyncNetworkServices& services, Sleeper& sleeper)
    : m_services(services)
    , m_sleeper(sleeper)
{
}

QCoro::Task<NetworkEndpoint> SyncDiscovery::resolve(QString serviceName, CancelToken token)
{
    const auto self = shared_from_this();
    // Strong: a cancelled caller always ends the search.
    const auto registration = token.onCancel([self] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [self] { self->finish(std::nullopt, std::make_exception_ptr(CancellationError())); },
            Qt::QueuedConnection);
    });
    token.throwIfCancelled();
    PendingCompletion<NetworkEndpoint> completion;
    m_continuation = completion;
    m_browser = m_services.makeBrowser();
    if (!m_browser) {
        finish(std::nullopt, std::make_exception_ptr(UsageSyncError(UsageSyncError::Code::unavailable)));
    } else {
        const std::weak_ptr<SyncDiscovery> weak = weak_from_this();
        m_browser->setResultsHandler([weak, serviceName](const QList<NetworkEndpoint>& results) {
            if (const auto discovery = weak.lock())
                discovery->handleResults(results, serviceName);
        });
        m_browser->setStateHandler([weak](DnsSdBrowser::State state, const std::optional<NetworkError>& error) {
            const auto discovery = weak.lock();
            if (discovery && (state == DnsSdBrowser::State::waiting || state == DnsSdBrowser::State::failed)) {
                discovery->finish(std::nullopt, std::make_exception_ptr(
                                                    SyncNetworkFailure::classify(error.value_or(NetworkError{}), false)));
            }
        });
        m_timer = TaskHandle::start([weak, &sleeper = m_sleeper](CancelToken timerToken) {
            return timeout(weak, sleeper, timerToken);
        });
        m_browser->start(SyncNetworkParameters::serviceType(), SyncNetworkParameters::browseDomain());
    }
    co_return co_await completion;
}

void SyncDiscovery::handleResults(const QList<NetworkEndpoint>& results, const QString& serviceName)
{
    for (const NetworkEndpoint& result : results) {
        const auto* service = std::get_if<ServiceEndpoint>(&result);
        if (service && service->name == serviceName && service->type == SyncNetworkParameters::serviceType()
            && (service->domain == QLatin1String("local.") || service->domain == QLatin1String("local"))) {
            finish(result, nullptr);
            return;
        }
    }
}

QCoro::Task<> SyncDiscovery::timeout(std::weak_ptr<SyncDiscovery> discovery, Sleeper& sleeper, CancelToken token)
{
    try {
        co_await sleeper.sleep(timeoutSeconds, token);
    } catch (const CancellationError&) {
        co_return;
    }
    if (const auto self = discovery.lock(); self && !token.isCancelled())
        self->finish(std::nullopt, std::make_exception_ptr(UsageSyncError(UsageSyncError::Code::timedOut)));
}

void SyncDiscovery::cancel()
{
    finish(std::nullopt, std::make_exception_ptr(CancellationError()));
}

void SyncDiscovery::finish(std::optional<NetworkEndpoint> endpoint, std::exception_ptr error)
{
    const auto continuation = std::exchange(m_continuation, std::nullopt);
    m_timer.cancel();
    if (auto browser = std::move(m_browser)) {
        // Removed first, so the browser's own cancelled state is never reported.
        browser->setStateHandler({});
        browser->setResultsHandler({});
        browser->cancel();
    }
    if (!continuation)
        return;
    if (error)
        continuation->fail(error);
    else
        continuation->complete(std::move(*endpoint));
}

} // namespace vantorel
