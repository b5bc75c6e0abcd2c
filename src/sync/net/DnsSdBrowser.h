#pragma once

#include "sync/net/NetworkEndpoint.h"
#include "sync/net/NetworkError.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace vantorel {

// Browses for DNS-SD services of one type in one domain over TCP. Handlers run on the main
// thread from the event loop; after cancel(), or once a handler is removed, nothing more is
// reported through it.
class DnsSdBrowser
{
public:
    enum class State { setup, ready, waiting, failed, cancelled };

    using StateHandler = std::function<void(State state, const std::optional<NetworkError>& error)>;
    // The whole current set of results, each a service instance or another kind of endpoint.
    using ResultsHandler = std::function<void(const QList<NetworkEndpoint>& results)>;

    virtual ~DnsSdBrowser() = default;

    virtual void setStateHandler(StateHandler handler) = 0;
    virtual void setResultsHandler(ResultsHandler handler) = 0;
    virtual void start(const QString& type, const QString& domain) = 0;
    virtual void cancel() = 0;
};

} // namespace vantorel
