#pragma once

#include "sync/net/DnsSdRegistration.h"
#include "sync/net/NetworkError.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vantorel {

// Advertises services by DNS-SD in the default domain, without a TXT record.
class DnsSdPublisher
{
public:
    using FailureHandler = std::function<void(const NetworkError& error)>;
    // Nothing when services can be advertised, else why not.
    using AvailabilityHandler = std::function<void(const std::optional<NetworkError>& unavailable)>;

    virtual ~DnsSdPublisher() = default;

    // Advertises `name` of `type` on `port` until the registration is destroyed. Every failure,
    // whether known at once (no daemon, a local name clash) or later (a clash with another
    // host), reaches `onFailure` on the main thread from the event loop, unless the registration
    // is gone by then.
    virtual std::unique_ptr<DnsSdRegistration> publish(const QString& name, const QString& type, quint16 port,
                                                       FailureHandler onFailure) = 0;

    // Finds out, without blocking the caller, whether a publication could be made now (the
    // daemon runs). `done` runs on the main thread from the event loop, never from inside this
    // call, unless the publisher is gone by then.
    virtual void checkAvailability(AvailabilityHandler done) = 0;
};

} // namespace vantorel
