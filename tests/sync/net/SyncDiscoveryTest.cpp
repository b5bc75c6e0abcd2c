#include "sync/net/SyncDiscovery.h"
#include "sync/net/NetTestOutcome.h"
#include "support/DrainEvents.h"
#include "support/FakeSyncNetworkServices.h"
#include "support/ManualSleeper.h"
#include "support/TaskOutcome.h"

#include <gtest/gtest.h>

using namespace vantorel;

TEST(SyncDiscoveryTest, FindsOnlyTheExactNameOfASyncServiceInLocalWithinTenSeconds)
{
    const QString name = QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f-pair");
    const auto service = [](const QString& instance, const char* domain = "local.") {
        return NetworkEndpoint(ServiceEndpoint{instance, QStringLiteral("_vantorel._tcp"), QString::fromLatin1(domain),
                                               QStringLiteral("lo"), QStringLiteral("127.0.0.1"), 4242});
    };
    using Play = std::function<void(const FakeBrowser::Script&, ManualSleeper&, SyncDiscovery&)>;
    struct Case
    {
        const char* name;
        Play play;
        std::string expected;
    };
    const QList<Case> cases = {
        {"local.", [&](auto& b, auto&, auto&) { b.report({service(name)}); }, "ok"},
        {"local", [&](auto& b, auto&, auto&) { b.report({service(name, "local")}); }, "ok"},
        {"near misses only", [&](auto& b, auto& sleeper, auto&) {
             b.report({service(name.toUpper()), service(name.chopped(5)), service(name + QStringLiteral("-pair")),
                       HostPortEndpoint{QStringLiteral("127.0.0.1"), 4242}});
             sleeper.advance(SyncDiscovery::timeoutSeconds);
         }, "timedOut"},
        {"policy denied", [](auto& b, auto&, auto&) {
             b.reportState(DnsSdBrowser::State::waiting, NetworkError::dnsServiceDiscovery(-65570));
         }, "localNetworkDenied"},
        {"no daemon", [](auto& b, auto&, auto&) {
             b.reportState(DnsSdBrowser::State::waiting, NetworkError::dnsServiceDiscovery(-26));
         }, "unavailable"},
        {"late match", [&](auto& b, auto& sleeper, auto&) {
             sleeper.advance(SyncDiscovery::timeoutSeconds);
             b.report({service(name)});
         }, "timedOut"},
        {"cancel", [](auto&, auto&, auto& discovery) { discovery.cancel(); }, "CancellationError"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ManualSleeper sleeper;
        FakeSyncNetworkServices services;
        const auto discovery = SyncDiscovery::create(services, sleeper);
        const auto outcome = startTask(discovery->resolve(name));
        ASSERT_EQ(services.browsers.size(), 1);
        const auto browser = services.browsers.first();
        EXPECT_EQ(browser->startedDomain, QStringLiteral("local."));
        c.play(*browser, sleeper, *discovery);
        drainEvents();
        ASSERT_TRUE(outcome->finished) << "ends without waiting out the time-out";
        EXPECT_EQ(outcome->error ? errorName(outcome->error) : "ok", c.expected);
        EXPECT_TRUE(browser->cancelled);
        EXPECT_FALSE(browser->resultsHandler) << "nothing more is reported";
    }
}
