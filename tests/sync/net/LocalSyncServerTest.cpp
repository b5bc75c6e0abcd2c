#include "sync/model/SyncModelFixtures.h"
#include "sync/net/LocalSyncServer.h"
#include "sync/net/SyncChannel.h"
#include "support/DrainEvents.h"
#include "support/FakeSyncNetworkServices.h"
#include "support/ManualSleeper.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace vantorel;
using namespace vantorel::test;

namespace {

const RegisteredSyncDevice device{QStringLiteral("iPhone"), SyncCredential{uuidNumber(9), QByteArray(32, 'k')}, Date()};

// A server over scripted listeners, with each status it sends and whether its listener was down
// then.
struct Reporting
{
    Reporting()
    {
        server.setOnStatusChange([this](const QString& text) {
            statuses.append(text);
            downAtStatus.append(server.listenerDown());
        });
    }

    ManualSleeper sleeper;
    FakeSyncNetworkServices services;
    LocalSyncServer server{hostA, QStringLiteral("Mac"), services, sleeper, sleeper.clock().clock()};
    QStringList statuses;
    QList<bool> downAtStatus;
};

} // namespace

TEST(LocalSyncServerTest, StatusFollowsOnlyTheCurrentListenerOfARunningServer)
{
    Reporting r;
    auto& [sleeper, services, server, statuses, downAtStatus] = r;

    server.start(std::nullopt);
    EXPECT_EQ(statuses, (QStringList{QStringLiteral("連携OFF"), QStringLiteral("iPhoneの登録待ち")}));
    EXPECT_TRUE(services.listeners.isEmpty());

    statuses.clear();
    server.start(device);
    server.start(device);
    ASSERT_EQ(services.listeners.size(), 2);
    EXPECT_TRUE(services.listeners[0]->cancelled);
    EXPECT_TRUE(services.listeners[1]->started);
    EXPECT_EQ(services.listeners[1]->serviceName, QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
    services.listeners[0]->report(PskListener::State::ready);
    services.listeners[1]->report(PskListener::State::ready);
    services.listeners[1]->report(PskListener::State::failed, NetworkError::posix(EADDRINUSE));
    server.stop();
    services.listeners[1]->report(PskListener::State::ready);
    EXPECT_EQ(statuses, (QStringList{QStringLiteral("連携OFF"), QStringLiteral("連携OFF"),
                                     QStringLiteral("iPhoneの接続待ち"),
                                     QStringLiteral("ローカルネットワークの接続を確認してください"),
                                     QStringLiteral("連携OFF")}));

    // A connection handed over while stopped is dropped without being started.
    EXPECT_FALSE(services.listeners[1]->connect()->started);

    // Without a discovery daemon nobody can find the listener: the status names the daemon.
    statuses.clear();
    server.start(device);
    services.listeners.last()->report(PskListener::State::failed,
                                      NetworkError::dnsServiceDiscovery(NetworkError::avahiNoDaemon));
    services.listeners.last()->report(PskListener::State::failed,
                                      NetworkError::dnsServiceDiscovery(NetworkError::avahiDisconnected));
    EXPECT_EQ(statuses.mid(1), QStringList(2, QStringLiteral("avahi-daemonが動いていないため、iPhoneから接続できません")));
    EXPECT_TRUE(server.listenerDown());
}

// Whether nothing can reach the server is the state its listeners last reported, whatever
// other statuses come meanwhile; the pairing listener, once it has reported, speaks for itself.
TEST(LocalSyncServerTest, ListenerDownFollowsTheListenersStates)
{
    Reporting r;
    auto& [sleeper, services, server, statuses, downAtStatus] = r;

    server.start(device);
    EXPECT_FALSE(server.listenerDown());
    services.listeners.last()->report(PskListener::State::waiting);
    server.updateSnapshot(UsageSyncSnapshot{});
    EXPECT_TRUE(server.listenerDown()) << "an unrelated status leaves the listener down";
    services.listeners.last()->report(PskListener::State::ready);
    EXPECT_EQ(downAtStatus, (QList<bool>{false, true, true, false}));

    server.beginPairing();
    services.listeners.last()->report(PskListener::State::failed, NetworkError::posix(ENETDOWN));
    EXPECT_TRUE(server.listenerDown());
    server.beginPairing();
    EXPECT_FALSE(server.listenerDown()) << "a new pairing listener has not reported yet";
    services.listeners[0]->report(PskListener::State::failed);
    services.listeners.last()->report(PskListener::State::ready);
    EXPECT_FALSE(server.listenerDown());
    server.cancelPairing();
    EXPECT_TRUE(server.listenerDown());
    server.stop();
    EXPECT_FALSE(server.listenerDown());
}

// Without a registered device no listener runs until pairing begins, so the server asks at once
// whether the discovery daemon runs and says so, as a listener would, when it does not.
TEST(LocalSyncServerTest, WithoutARegisteredDeviceAMissingDaemonIsToldAtOnce)
{
    Reporting r;
    auto& [sleeper, services, server, statuses, downAtStatus] = r;
    const auto missing = NetworkError::dnsServiceDiscovery(NetworkError::avahiNoDaemon);

    server.start(std::nullopt);
    ASSERT_EQ(services.advertisingChecks.size(), 1);
    EXPECT_FALSE(server.listenerDown());
    services.advertisingChecks.takeFirst()(missing);
    EXPECT_EQ(statuses, (QStringList{QStringLiteral("連携OFF"), QStringLiteral("iPhoneの登録待ち"),
                                     QStringLiteral("avahi-daemonが動いていないため、iPhoneから接続できません")}));
    EXPECT_TRUE(server.listenerDown());

    // An answer to an earlier start, one overtaken by a pairing listener (which reports for
    // itself) and one that finds the daemon say nothing.
    server.start(std::nullopt);
    server.start(std::nullopt);
    EXPECT_FALSE(server.listenerDown());
    ASSERT_EQ(services.advertisingChecks.size(), 2);
    services.advertisingChecks.takeFirst()(missing);
    server.beginPairing();
    services.advertisingChecks.takeFirst()(missing);
    server.start(std::nullopt);
    services.advertisingChecks.takeFirst()(std::nullopt);
    EXPECT_EQ(statuses.count(QStringLiteral("avahi-daemonが動いていないため、iPhoneから接続できません")), 1);
    EXPECT_FALSE(server.listenerDown());

    // With a device the listener tells; a server that advertises nothing asks nothing.
    server.start(device);
    LocalSyncServer quiet(hostA, QStringLiteral("Mac"), services, sleeper, sleeper.clock().clock(), false);
    quiet.start(std::nullopt);
    EXPECT_TRUE(services.advertisingChecks.isEmpty());
}

TEST(LocalSyncServerTest, AStatusHandlerMayDestroyTheServer)
{
    ManualSleeper sleeper;
    FakeSyncNetworkServices services;
    auto server = std::make_unique<LocalSyncServer>(hostA, QStringLiteral("Mac"), services, sleeper,
                                                    sleeper.clock().clock());
    server->setOnStatusChange([&](const QString&) { server.reset(); });
    server->start(device);
    EXPECT_EQ(server, nullptr);
    EXPECT_TRUE(services.listeners.isEmpty());
}

namespace {

// A running server whose registered listener is ready, and the connections handed to it.
struct Served
{
    Served()
    {
        server.start(device);
        services.listeners.last()->report(PskListener::State::ready);
    }

    std::shared_ptr<FakePskConnection::Script> connect()
    {
        auto script = services.listeners.last()->connect();
        drainEvents();
        return script;
    }

    // Completes the handshake and sends a whole request; its answer then waits to go out.
    static void request(FakePskConnection::Script& script)
    {
        script.reportState(PskConnection::State::ready);
        drainEvents();
        script.deliver(SyncChannel::frameOf(SyncMessage::readSnapshot()));
        drainEvents();
    }

    ManualSleeper sleeper;
    FakeSyncNetworkServices services;
    LocalSyncServer server{hostA, QStringLiteral("Mac"), services, sleeper, sleeper.clock().clock()};
};

} // namespace

TEST(LocalSyncServerTest, OnlyPeersThatProvedTheKeyHoldASlotAgainstANewcomer)
{
    Served s;
    QList<std::shared_ptr<FakePskConnection::Script>> proven;
    for (int i = 0; i < LocalSyncServer::maximumConnections; ++i) {
        proven.append(s.connect());
        proven.last()->reportState(PskConnection::State::ready);
    }
    QList<std::shared_ptr<FakePskConnection::Script>> unproven;
    for (int i = 0; i < LocalSyncServer::maximumUnprovenConnections; ++i)
        unproven.append(s.connect());
    // However far its handshake got, the oldest unproven connection gives way to a newcomer.
    unproven[0]->reportState(PskConnection::State::preparing);
    drainEvents();
    const auto newcomer = s.connect();
    EXPECT_TRUE(newcomer->started);
    EXPECT_EQ(unproven[0]->cancelCount, 1);
    EXPECT_EQ(unproven[1]->cancelCount, 0);
    for (const auto& script : proven)
        EXPECT_EQ(script->cancelCount, 0) << "a peer that proved the key was pushed out";

    // One being answered holds no slot (its peer may already be opening the next connection).
    proven[0]->deliver(SyncChannel::frameOf(SyncMessage::readSnapshot()));
    drainEvents();
    ASSERT_EQ(proven[0]->sent.size(), 1);
    unproven[2]->reportState(PskConnection::State::ready);
    drainEvents();
    EXPECT_EQ(unproven[2]->cancelCount, 0);
    int cancelled = newcomer->cancelCount;
    for (const auto& script : proven + unproven)
        cancelled += script->cancelCount;
    EXPECT_EQ(cancelled, 1);
}

// A peer that sends a whole hello and stalls makes OpenSSL hold tens of kilobytes until the
// handshake ends: fewer of those are kept than unproven connections, and the oldest gives way.
TEST(LocalSyncServerTest, FewUnprovenConnectionsHoldTlsAndTheOldestOfThemGivesWay)
{
    Served s;
    QList<std::shared_ptr<FakePskConnection::Script>> all;
    const auto cancelled = [&all] {
        int count = 0;
        for (const auto& script : all)
            count += script->cancelCount;
        return count;
    };
    const auto silent = s.connect();
    all.append(silent);
    QList<std::shared_ptr<FakePskConnection::Script>> hellos;
    for (int i = 0; i < LocalSyncServer::maximumUnprovenTlsSessions; ++i) {
        hellos.append(s.connect());
        ASSERT_TRUE(hellos.last()->setUpTls());
    }
    all += hellos;
    EXPECT_EQ(cancelled(), 0);

    // One that proved the key and one whose handshake failed hold no TLS of an unproven peer any more.
    hellos[0]->reportState(PskConnection::State::ready);
    hellos[1]->reportState(PskConnection::State::failed, NetworkError::posix(ECONNRESET));
    drainEvents();
    for (int i = 0; i < 2; ++i) {
        all.append(s.connect());
        all.last()->setUpTls();
    }
    EXPECT_EQ(cancelled(), 1) << "only the failed handshake's connection was closed";
    EXPECT_EQ(hellos[1]->cancelCount, 1);

    // The next one displaces the oldest unproven holder, not the older silent connection.
    all.append(s.connect());
    all.last()->setUpTls();
    EXPECT_EQ(hellos[2]->cancelCount, 1);
    EXPECT_EQ(cancelled(), 2);
    EXPECT_EQ(silent->cancelCount, 0);
    EXPECT_EQ(hellos[0]->cancelCount, 0) << "a peer that proved the key was pushed out";
    Served::request(*hellos[0]);
    EXPECT_EQ(hellos[0]->sent.size(), 1);
}

TEST(LocalSyncServerTest, APhoneIsNeverRefusedByItsOwnSilentConnections)
{
    // A phone that changed networks left eight connections behind that proved the key and then
    // sent nothing: each newly proven one displaces the oldest of them, and is never refused.
    Served s;
    QList<std::shared_ptr<FakePskConnection::Script>> stale;
    for (int i = 0; i < LocalSyncServer::maximumConnections; ++i) {
        stale.append(s.connect());
        stale.last()->reportState(PskConnection::State::ready);
        drainEvents();
    }
    // Those that stay silent in turn become the newest to give way.
    QList<std::shared_ptr<FakePskConnection::Script>> fresh;
    for (int round = 0; round < 3; ++round) {
        fresh.append(s.connect());
        fresh.last()->reportState(PskConnection::State::ready);
        drainEvents();
        EXPECT_EQ(fresh.last()->cancelCount, 0) << "round " << round;
        EXPECT_EQ(stale[round]->cancelCount, 1) << "round " << round;
        EXPECT_TRUE(stale[round]->sent.isEmpty());
    }
    for (int i = 3; i < LocalSyncServer::maximumConnections; ++i)
        EXPECT_EQ(stale[i]->cancelCount, 0) << i;
    // One that has sent its request is answered, not displaced.
    fresh[0]->deliver(SyncChannel::frameOf(SyncMessage::readSnapshot()));
    drainEvents();
    const auto last = s.connect();
    Served::request(*last);
    EXPECT_EQ(fresh[0]->sent.size(), 1);
    EXPECT_EQ(fresh[0]->cancelCount, 0);
    EXPECT_EQ(last->sent.size(), 1);
}

TEST(LocalSyncServerTest, AHandshakeGetsTwoSecondsAndTheRequestTenMore)
{
    Served s;
    const auto silent = s.connect();
    const auto keyed = s.connect();
    ASSERT_TRUE(silent->started);
    keyed->reportState(PskConnection::State::ready);
    drainEvents();

    s.sleeper.advance(LocalSyncServer::handshakeTimeoutSeconds - 0.1);
    EXPECT_EQ(silent->cancelCount, 0);
    s.sleeper.advance(0.1);
    EXPECT_EQ(silent->cancelCount, 1);
    EXPECT_EQ(keyed->cancelCount, 0) << "its handshake completed in time";

    // Its request time-out runs from the end of its handshake.
    s.sleeper.advance(LocalSyncServer::requestTimeoutSeconds - LocalSyncServer::handshakeTimeoutSeconds - 0.1);
    EXPECT_EQ(keyed->cancelCount, 0);
    s.sleeper.advance(0.1);
    EXPECT_EQ(keyed->cancelCount, 1);
}

// A flood's TLS sessions displace their own: the oldest of the address group holding most gives
// way. One from an address the paired device proved the key from gives way only to another such,
// at the TLS cap as among all unproven connections, where another address is refused instead.
TEST(LocalSyncServerTest, UnprovenPeersGiveWayByAddressAndRememberedOnesBeyondTheirShare)
{
    const PskConnection::Origin phone{"phone", true};
    const PskConnection::Origin flood{"flood", false};
    const PskConnection::Origin other{"other", false};
    const PskConnection::Origin rememberedFlood{"shared", true};
    {
        SCOPED_TRACE("TLS sessions");
        Served s;
        const auto connectWithTls = [&](const PskConnection::Origin& origin) {
            const auto script = s.services.listeners.last()->connect(origin);
            drainEvents();
            script->setUpTls();
            return script;
        };
        const auto phoneSession = connectWithTls(phone);
        const auto otherSession = connectWithTls(other);
        QList<std::shared_ptr<FakePskConnection::Script>> floodSessions;
        for (int i = 2; i < LocalSyncServer::maximumUnprovenTlsSessions; ++i)
            floodSessions.append(connectWithTls(flood));
        EXPECT_EQ(floodSessions[0]->cancelCount, 0);
        const auto newcomer = connectWithTls(other);
        EXPECT_EQ(floodSessions[0]->cancelCount, 1) << "the address holding most gives its oldest";
        EXPECT_EQ(otherSession->cancelCount, 0);
        EXPECT_EQ(phoneSession->cancelCount, 0);
        // Hosts sharing a remembered address flood too: they take sessions from others until they hold half,
        // then displace their own, never the phone's on its other remembered address.
        constexpr int share = LocalSyncServer::maximumUnprovenTlsSessions / LocalSyncServer::rememberedShareDivisor;
        QList<std::shared_ptr<FakePskConnection::Script>> shared;
        for (int i = 0; i < LocalSyncServer::maximumUnprovenTlsSessions; ++i)
            shared.append(connectWithTls(rememberedFlood));
        EXPECT_EQ(phoneSession->cancelCount, 0);
        EXPECT_EQ(
            std::count_if(shared.cbegin(), shared.cend(), [](const auto& script) { return script->cancelCount == 0; }),
            share - 1);
        EXPECT_EQ(otherSession->cancelCount, 0);
        EXPECT_EQ(newcomer->cancelCount, 0);
        const auto late = s.services.listeners.last()->connect(other);
        drainEvents();
        EXPECT_TRUE(late->setUpTls()) << "another address is never refused";
    }
    {
        SCOPED_TRACE("connections");
        Served s;
        const auto phoneWaiting = s.services.listeners.last()->connect(phone);
        QList<std::shared_ptr<FakePskConnection::Script>> others;
        for (int i = 1; i < LocalSyncServer::maximumUnprovenConnections; ++i)
            others.append(s.services.listeners.last()->connect(flood));
        drainEvents();
        EXPECT_TRUE(s.services.listeners.last()->connect(other)->started);
        EXPECT_EQ(others[0]->cancelCount, 1);
        EXPECT_EQ(phoneWaiting->cancelCount, 0);
        // Before, a flood from a remembered address took every place and shut every other address
        // out, a device pairing included.
        for (int i = 0; i < LocalSyncServer::maximumUnprovenConnections; ++i)
            s.services.listeners.last()->connect(rememberedFlood);
        drainEvents();
        EXPECT_EQ(phoneWaiting->cancelCount, 0);
        EXPECT_TRUE(s.services.listeners.last()->connect(other)->started) << "a moved phone";
        s.server.beginPairing();
        const auto pairing = s.services.listeners.last()->connect(other);
        drainEvents();
        EXPECT_TRUE(pairing->started);
        EXPECT_EQ(pairing->cancelCount, 0);
    }
}

// Every wake from sleep, sync toggle or re-registration makes a new server and listener: where the
// phone proved its key from is kept beside its registration, not in the listener, or a flood on its
// address would find it forgotten after every sleep.
TEST(LocalSyncServerTest, ListenersOfTheRegisteredDeviceShareWhereItProvedTheKeyAcrossRestarts)
{
    ManualSleeper sleeper;
    FakeSyncNetworkServices services;
    ProvenAddressBook book;
    const auto serve = [&] {
        auto server = std::make_unique<LocalSyncServer>(hostA, QStringLiteral("Mac"), services, sleeper,
                                                        sleeper.clock().clock(), true, &book);
        server->start(device);
        return server;
    };
    auto first = serve();
    const std::shared_ptr<ProvenAddresses> proven = services.listeners.last()->provenAddresses;
    ASSERT_TRUE(proven);
    first->stop();
    first->start(device);
    EXPECT_EQ(services.listeners.last()->provenAddresses, proven) << "sync turned off and on";
    first.reset();
    const auto second = serve();
    EXPECT_EQ(services.listeners.last()->provenAddresses, proven) << "a new server after a wake";
    second->beginPairing();
    EXPECT_EQ(services.listeners.last()->provenAddresses, nullptr) << "an invitation's listener keeps its own";
    second->start(RegisteredSyncDevice{QStringLiteral("iPad"), SyncCredential::random(), Date()});
    EXPECT_NE(services.listeners.last()->provenAddresses, proven) << "a device registered anew starts with none";
    EXPECT_TRUE(services.listeners.last()->provenAddresses);
}
