#pragma once

#include "sync/net/DnsSdBrowser.h"

#include <QObject>

#include <list>
#include <memory>

struct AvahiServiceBrowser;
struct AvahiServiceResolver;

namespace vantorel {

// Browses through the Avahi daemon and reports the current set of resolved instances each time
// one resolves or goes (as ServiceEndpoints with the resolved address; IPv6 link-local addresses
// carry "%" and the interface); an instance still resolving is not in the set yet. Without a daemon it reports `waiting` at once. Reports arrive on a
// later turn of the main thread's event loop, so a handler may destroy the browser.
class AvahiDnsSdBrowser final : public DnsSdBrowser
{
public:
    AvahiDnsSdBrowser();
    ~AvahiDnsSdBrowser() override;

    void setStateHandler(StateHandler handler) override { m_stateHandler = std::move(handler); }
    void setResultsHandler(ResultsHandler handler) override { m_resultsHandler = std::move(handler); }
    void start(const QString& type, const QString& domain) override;
    void cancel() override;

private:
    struct Instance;
    friend struct AvahiBrowserCallbacks;

    void stop();
    void reportResults();
    void reportState(State state, const NetworkError& error);

    StateHandler m_stateHandler;
    ResultsHandler m_resultsHandler;
    AvahiServiceBrowser* m_browser = nullptr;
    std::list<Instance> m_instances;
    quint64 m_observer = 0;
    bool m_started = false;
    bool m_cancelled = false;
    QObject m_context;
};

} // namespace vantorel
