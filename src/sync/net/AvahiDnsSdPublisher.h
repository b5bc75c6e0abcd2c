#pragma once

#include "sync/net/DnsSdPublisher.h"

#include <QObject>

namespace vantorel {

// Publishes through the Avahi daemon: one entry group per registration, in the default domain,
// without TXT. A name is never changed on a collision (the companion looks for the exact name):
// a clash, local or remote, reaches the failure handler. Registrations that were live when the
// daemon went away are published again when it is back. Without a daemon, publishing fails at
// once. Main thread only.
class AvahiDnsSdPublisher final : public DnsSdPublisher
{
public:
    std::unique_ptr<DnsSdRegistration> publish(const QString& name, const QString& type, quint16 port,
                                               FailureHandler onFailure) override;
    // Asks the system bus whether the daemon owns its name: making an Avahi client would wait on
    // the daemon's answers. Without a system bus, or with no owner, the daemon is missing.
    void checkAvailability(AvailabilityHandler done) override;

private:
    // Holds the calls in flight.
    QObject m_context;
};

} // namespace vantorel
