#include "sync/model/SyncModelFixtures.h"
#include "sync/net/LocalSyncServer.h"
#include "support/FakeSyncNetworkServices.h"
#include "support/ManualSleeper.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace vantorel;
using namespace vantorel::test;

namespace {

const RegisteredSyncDevice device{QStringLiteral("iPhone"), SyncCredential{uuidNumber(9), QByteArray(32, 'k')}, Date()};

} // namespace

TEST(LocalSyncServerTest, StatusFollowsOnlyTheCurrentListenerOfARunningServer)
{
    ManualSleeper sleeper;
    FakeSyncNetworkServices services;
    LocalSyncServer server(hostA, QStringLiteral("Mac"), services, sleeper, sleeper.clock().clock());
    QStringList statuses;
    server.setOnStatusChange([&](const QString& text) { statuses.append(text); });

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
