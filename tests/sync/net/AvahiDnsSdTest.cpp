#include "sync/net/AvahiDnsSdBrowser.h"
#include "sync/net/AvahiDnsSdPublisher.h"
#include "sync/net/NetTestOutcome.h"
#include "sync/net/QtSyncNetworkServices.h"
#include "sync/net/SyncDiscovery.h"
#include "support/DrainEvents.h"
#include "support/ManualSleeper.h"
#include "support/TaskOutcome.h"

#include <gtest/gtest.h>

using namespace vantorel;

// Libdbus reads the bus address once per process, so this runs apart from the tests that start
// a daemon; the address names no bus, so nothing reaches a daemon of this machine.
TEST(AvahiDnsSdTest, WithoutADaemonBrowsingWaitsAndPublishingFailsAtOnce)
{
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/vantorel-system-bus");
    AvahiDnsSdPublisher publisher;
    std::optional<NetworkError> failure;
    const auto registration = publisher.publish(QStringLiteral("x"), QStringLiteral("_vantorel._tcp"), 4242,
                                                [&](const NetworkError& error) { failure = error; });
    ManualSleeper sleeper;
    QtSyncNetworkServices services(nullptr, [] { return std::make_unique<AvahiDnsSdBrowser>(); });
    const auto discovery = SyncDiscovery::create(services, sleeper);
    const auto found = startTask(discovery->resolve(QStringLiteral("x")));
    drainEvents();
    EXPECT_EQ(failure, NetworkError::dnsServiceDiscovery(-26));
    ASSERT_TRUE(found->finished) << "without waiting out the time-out";
    EXPECT_EQ(errorName(found->error), "unavailable");

    // Asked ahead of any publication, without a bus the daemon is missing too.
    std::optional<std::optional<NetworkError>> answer;
    publisher.checkAvailability([&](const std::optional<NetworkError>& unavailable) { answer = unavailable; });
    EXPECT_FALSE(answer) << "answered from inside the call";
    drainEvents();
    EXPECT_EQ(answer, std::optional(std::optional(NetworkError::dnsServiceDiscovery(-26))));
}
