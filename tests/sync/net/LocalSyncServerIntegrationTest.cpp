#include "sync/model/SyncModelFixtures.h"
#include "sync/net/LocalNetworkTransport.h"
#include "sync/net/LocalSyncServer.h"
#include "sync/net/NetTestOutcome.h"
#include "sync/net/QtPskConnection.h"
#include "sync/net/SyncChannel.h"
#include "sync/net/SyncNetworkParameters.h"
#include "sync/net/SyncWire.h"
#include "support/LoopbackPskPeer.h"
#include "support/LoopbackSyncNetworkServices.h"
#include "support/MemoryPskClient.h"
#include "support/ManualSleeper.h"
#include "support/OpensslPeer.h"
#include "support/QtPrinters.h"
#include "support/TaskOutcome.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>
#include <vector>

#include <poll.h>
#include <unistd.h>

using namespace vantorel;
using namespace vantorel::test;

namespace {

constexpr int serverWaitMilliseconds = 15'000;

const SyncCredential deviceCredential{
    QUuid::fromString(QStringLiteral("123E4567-E89B-12D3-A456-426614174000")),
    QByteArray::fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f")};

// A running server on 127.0.0.1 serving the device of `deviceCredential`, advertising off.
struct Harness
{
    Harness()
    {
        server.setOnStatusChange([this](const QString& text) { statuses.append(text); });
        server.start(RegisteredSyncDevice{QStringLiteral("iPhone"), deviceCredential, Date()});
        EXPECT_TRUE(QTest::qWaitFor([this] { return statuses.contains(LocalSyncServer::statusAwaitingConnection()); },
                                    serverWaitMilliseconds));
    }

    // One fetch through the companion's transport, as host `hostID` with `credential`.
    TaskOutcome<UsageSyncSnapshot> read(const SyncCredential& credential = deviceCredential, QUuid hostID = hostA)
    {
        ManualSleeper clientSleeper;
        LocalNetworkTransport transport(PairedHost{hostID, QStringLiteral("Mac"), credential, Date()}, services,
                                        clientSleeper, services.lastListener());
        return waitForOutcome(transport.fetchSnapshot());
    }

    ManualSleeper sleeper;
    LoopbackSyncNetworkServices services;
    LocalSyncServer server{hostA, QStringLiteral("Mac"), services, sleeper, sleeper.clock().clock(), false};
    QStringList statuses;
};

std::string serverOutcomeName(const TaskOutcome<UsageSyncSnapshot>& outcome)
{
    return outcome.error ? errorName(outcome.error) : "ok";
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

} // namespace

TEST(LocalSyncServerIntegrationTest, ServesTheAcceptedSnapshotToTheRegisteredDevice)
{
    Harness h;
    const UsageSyncSnapshot current = emptySnapshot();
    UsageSyncSnapshot older = current;
    --older.revision;
    UsageSyncSnapshot sameRevisionOtherContent = current;
    sameRevisionOtherContent.hostName = QStringLiteral("Other");
    UsageSyncSnapshot invalid = current;
    invalid.hostID = hostB;

    struct Step
    {
        const char* name;
        std::function<void()> act;
        std::string expected;
        QString status;
    };
    const QList<Step> steps = {
        {"before any update", [] {}, "unavailable", {}},
        {"valid update", [&] { h.server.updateSnapshot(current); }, "ok", {}},
        {"invalid update clears", [&] { h.server.updateSnapshot(invalid); }, "unavailable",
         LocalSyncServer::statusInvalidSnapshot()},
        {"valid again", [&] { h.server.updateSnapshot(current); }, "ok", {}},
        {"older revision refused", [&] { h.server.updateSnapshot(older); }, "ok", LocalSyncServer::statusOlderSnapshot()},
        {"same revision, other content", [&] { h.server.updateSnapshot(sameRevisionOtherContent); }, "ok",
         LocalSyncServer::statusOlderSnapshot()},
        {"stop and start keep it", [&] {
             h.server.stop();
             h.statuses.clear();
             h.server.start(RegisteredSyncDevice{QStringLiteral("iPhone"), deviceCredential, Date()});
             ASSERT_TRUE(QTest::qWaitFor([&] { return h.statuses.size() == 2; }, serverWaitMilliseconds));
         }, "ok", LocalSyncServer::statusAwaitingConnection()},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        h.statuses.clear();
        step.act();
        const auto outcome = h.read();
        EXPECT_EQ(serverOutcomeName(outcome), step.expected);
        if (outcome.value) {
            EXPECT_EQ(*outcome.value, current);
        }
        EXPECT_EQ(h.statuses.value(h.statuses.size() - 1), step.status);
    }

    const auto pair = ask(h.services.lastListener().port, SyncMessage::pair(QStringLiteral("iPhone")), h.sleeper,
                          deviceCredential);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pair->done; }, serverWaitMilliseconds));
    ASSERT_TRUE(pair->message && pair->message->as<SyncMessage::Failure>());
    EXPECT_EQ(pair->message->as<SyncMessage::Failure>()->error.code(), UsageSyncError::Code::invalidData);

    const SyncCredential wrongKey{deviceCredential.id, QByteArray(32, 'x')};
    EXPECT_EQ(serverOutcomeName(h.read(wrongKey)), "authenticationFailed");
    EXPECT_EQ(serverOutcomeName(h.read(deviceCredential, hostB)), "wrongHost");
}

TEST(LocalSyncServerIntegrationTest, ReadsGetTheSnapshotStoredLastEvenAfterEarlierReads)
{
    Harness h;
    const UsageSyncSnapshot first = emptySnapshot();
    UsageSyncSnapshot next = first;
    ++next.revision;
    next.hostName = QStringLiteral("Other");
    UsageSyncSnapshot invalid = first;
    invalid.hostID = hostB;
    // Each update is followed by two reads; an invalid one clears the store, so `first` is taken again.
    using Step = std::pair<UsageSyncSnapshot, std::optional<UsageSyncSnapshot>>;
    for (const auto& [update, served] :
         QList<Step>{{first, first}, {next, next}, {next, next}, {invalid, std::nullopt}, {first, first}}) {
        h.server.updateSnapshot(update);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(h.read().value, served);
    }
}

TEST(LocalSyncServerIntegrationTest, OpensslClientReadsTheRefusalAndNeedsTheExactIdentity)
{
    if (!OpensslPeer::isInstalled())
        GTEST_SKIP() << "openssl not installed";
    Harness h;
    const QByteArray request = SyncWire::frame(R"({"message":{"readSnapshot":{}},"version":1})");
    ASSERT_EQ(request.size(), 47);
    for (const bool lowerCase : {false, true}) {
        SCOPED_TRACE(lowerCase ? "lower-case identity" : "upper-case identity");
        const QByteArray identity = lowerCase ? SyncNetworkParameters::make(deviceCredential).identity.toLower()
                                              : SyncNetworkParameters::make(deviceCredential).identity;
        QProcess client;
        client.start(QStringLiteral("openssl"),
                     QStringList{QStringLiteral("s_client"), QStringLiteral("-quiet"), QStringLiteral("-connect"),
                                 QStringLiteral("127.0.0.1:%1").arg(h.services.lastListener().port)}
                         + OpensslPeer::pskArguments(deviceCredential.key, identity));
        ASSERT_TRUE(client.waitForStarted());
        client.write(request);
        // Stdin stays open: the client ends when the server closes or refuses the handshake.
        ASSERT_TRUE(QTest::qWaitFor([&] { return client.state() == QProcess::NotRunning; }, serverWaitMilliseconds));
        const QByteArray expected = lowerCase ? QByteArray()
                                              : QByteArray::fromHex("0000003D")
                + R"({"message":{"failure":{"_0":{"unavailable":{}}}},"version":1})";
        EXPECT_EQ(client.readAllStandardOutput(), expected);
    }
}

TEST(LocalSyncServerIntegrationTest, SilentConnectionsGiveWayToNewcomersAndAFloodLeavesNothingBehind)
{
    Harness h;
    h.server.updateSnapshot(emptySnapshot());
    const quint16 port = h.services.lastListener().port;
    QObject parent;
    const auto rawPeer = [&] {
        auto* socket = new QTcpSocket(&parent);
        socket->connectToHost(QHostAddress::LocalHost, port);
        return socket;
    };
    QTcpSocket* first = rawPeer();
    for (int i = 1; i < LocalSyncServer::maximumUnprovenConnections; ++i)
        rawPeer();
    // Handed over when none of the others has proven the key: the oldest is closed without a byte
    // to make room.
    QTcpSocket* newcomer = rawPeer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return first->state() == QAbstractSocket::UnconnectedState; }, serverWaitMilliseconds));
    EXPECT_EQ(first->readAll(), QByteArray());
    EXPECT_EQ(newcomer->state(), QAbstractSocket::ConnectedState);

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const int descriptors = openDescriptors();
    constexpr int attempts = 1'000;
    // More than the server holds, so that newcomers keep pushing the oldest out.
    constexpr int inFlight = LocalSyncServer::maximumUnprovenConnections + 32;
    int launched = 0;
    int ended = 0;
    qint64 bytes = 0;
    std::function<void()> launch = [&] {
        QTcpSocket* socket = rawPeer();
        ++launched;
        QObject::connect(socket, &QAbstractSocket::stateChanged, socket, [&, socket](QAbstractSocket::SocketState s) {
            if (s != QAbstractSocket::UnconnectedState)
                return;
            bytes += socket->readAll().size();
            ++ended;
            socket->deleteLater();
            if (launched < attempts)
                launch();
        });
    };
    for (int i = 0; i < inFlight; ++i)
        launch();
    // Each newcomer pushes out the oldest silent connection, of the server's or of those the
    // listener holds for their turn; the newest stay until their handshake time-out, armed once
    // their turn came.
    const auto openPeers = [&] {
        const QList<QTcpSocket*> peers = parent.findChildren<QTcpSocket*>();
        return std::count_if(peers.cbegin(), peers.cend(),
                             [](const QTcpSocket* peer) { return peer->state() == QAbstractSocket::ConnectedState; });
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return launched == attempts && h.sleeper.pendingCount() >= openPeers(); }, 60'000))
        << ended;
    EXPECT_GE(ended, attempts - LocalSyncServer::maximumUnprovenConnections);
    h.sleeper.advance(LocalSyncServer::handshakeTimeoutSeconds);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended == attempts; }, serverWaitMilliseconds)) << ended;
    EXPECT_EQ(bytes, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return openDescriptors() <= descriptors; }, serverWaitMilliseconds))
        << openDescriptors() << " open, " << descriptors << " before";

    const auto outcome = h.read();
    EXPECT_EQ(serverOutcomeName(outcome), "ok");
}

TEST(LocalSyncServerIntegrationTest, SilentPeerIsClosedAfterTenSecondsWithoutAnAnswer)
{
    Harness h;
    h.server.updateSnapshot(emptySnapshot());
    ManualSleeper clientSleeper;
    auto channel = SyncChannel::create(QtPskConnection::connecting(QStringLiteral("127.0.0.1"),
                                                                   h.services.lastListener().port,
                                                                   SyncNetworkParameters::make(deviceCredential)),
                                       clientSleeper);
    auto opened = std::make_shared<Outcome>();
    track(channel->open(), opened);
    // The server has opened its side and waits for the request.
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened->done && h.sleeper.requestedDurations().size() == 2; },
                                serverWaitMilliseconds));
    ASSERT_EQ(opened->result, "ok");
    auto answer = std::make_shared<Outcome>();
    track(channel->receive(20), answer);

    h.sleeper.advance(LocalSyncServer::requestTimeoutSeconds - 0.5);
    EXPECT_FALSE(answer->done);
    h.sleeper.advance(0.5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer->done; }, serverWaitMilliseconds));
    EXPECT_EQ(answer->result, "unavailable") << "the stream ended without a frame";
}

namespace {

// Sends a ClientHello of a peer without the key from each of `count` new connections from `source`.
std::vector<pollfd> helloFlood(quint16 port, in_addr_t source, int count)
{
    MemoryPskClient stranger(PskParameters{SyncNetworkParameters::make(deviceCredential).identity,
                                           QByteArray(PskParameters::keyBytes, 'x')});
    stranger.handshake();
    const QByteArray hello = stranger.takeOutput();
    std::vector<pollfd> flood;
    for (int i = 0; i < count; ++i) {
        flood.push_back({rawPeer(port, source), POLLIN, 0});
        EXPECT_EQ(::send(flood.back().fd, hello.constData(), size_t(hello.size()), MSG_NOSIGNAL), hello.size());
    }
    return flood;
}

bool serverFlightArrived(int peer)
{
    pollfd flight{peer, POLLIN, 0};
    return ::poll(&flight, 1, 0) == 1;
}

// Once each peer of the flood got the server's flight (so set TLS up) or was pushed out, the
// phone, slow to answer, still finishes its handshake and reads.
void expectThePhoneReadsAfterTheFlood(int phonePeer, MemoryPskClient& phone, std::vector<pollfd>& flood)
{
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(flood.begin(), flood.end(), [](pollfd& peer) { return ::poll(&peer, 1, 0) == 1; });
        },
        serverWaitMilliseconds));
    EXPECT_TRUE(finishHandshake(phonePeer, phone, serverWaitMilliseconds)) << "the phone's handshake was cut";
    EXPECT_FALSE(exchange(phonePeer, phone, SyncChannel::frameOf(SyncMessage::readSnapshot()), serverWaitMilliseconds)
                     .isEmpty());
    for (const pollfd& peer : flood)
        ::close(peer.fd);
    ::close(phonePeer);
}

} // namespace

// A phone on a slow network (a round trip of half a second) has sent its hello and waits for the
// server's flight while 200 peers on another address send hellos and stall: more TLS set-ups than
// the server keeps, each pushing an older one out. Before, the phone's, the oldest, went first.
TEST(LocalSyncServerIntegrationTest, APhoneSlowToAnswerKeepsItsHandshakeWhileAnotherAddressFloodsHellos)
{
    Harness h;
    h.server.updateSnapshot(emptySnapshot());
    ASSERT_EQ(serverOutcomeName(h.read()), "ok");
    const quint16 port = h.services.lastListener().port;
    const PskParameters keyed = SyncNetworkParameters::make(deviceCredential);
    MemoryPskClient phone(keyed);
    const int phonePeer = helloPeer(port, phone);
    // The server's flight has come: the phone's TLS session is set up.
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverFlightArrived(phonePeer); }, serverWaitMilliseconds));
    std::vector<pollfd> flood =
        helloFlood(port, htonl(INADDR_LOOPBACK + 1), LocalSyncServer::maximumUnprovenTlsSessions + 72);
    expectThePhoneReadsAfterTheFlood(phonePeer, phone, flood);
}

// The phone proved its key from two addresses; hosts sharing the one it left flood hellos while it
// is slow to answer on the other. Before, remembered sessions gave way to one another oldest first,
// and the phone's went three times in three.
TEST(LocalSyncServerIntegrationTest, AHelloFloodFromOneRememberedAddressCannotCutTheHandshakeOnAnother)
{
    Harness h;
    h.server.updateSnapshot(emptySnapshot());
    ASSERT_EQ(serverOutcomeName(h.read()), "ok");
    const quint16 port = h.services.lastListener().port;
    const in_addr_t phoneAddress = htonl(INADDR_LOOPBACK + 2);
    const PskParameters keyed = SyncNetworkParameters::make(deviceCredential);
    {
        MemoryPskClient proving(keyed);
        const int peer = helloPeer(port, proving, phoneAddress);
        ASSERT_TRUE(finishHandshake(peer, proving, serverWaitMilliseconds));
        ::close(peer);
    }
    MemoryPskClient phone(keyed);
    const int phonePeer = helloPeer(port, phone, phoneAddress);
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverFlightArrived(phonePeer); }, serverWaitMilliseconds));

    std::vector<pollfd> flood =
        helloFlood(port, htonl(INADDR_LOOPBACK), LocalSyncServer::maximumUnprovenTlsSessions + 72);
    expectThePhoneReadsAfterTheFlood(phonePeer, phone, flood);
}

// A wake from sleep stops the server and starts it again with a new listener. The phone's address
// is still remembered there, so a flood on it cannot push the phone's connection out: before, the
// new listener knew nothing, held the phone's connection with the flood's, and gave it up first.
TEST(LocalSyncServerIntegrationTest, AfterAWakeTheRememberedPhoneIsStillServedFirstUnderAFloodOnItsAddress)
{
    Harness h;
    h.server.updateSnapshot(emptySnapshot());
    ASSERT_EQ(serverOutcomeName(h.read()), "ok");
    const quint16 before = h.services.lastListener().port;
    h.statuses.clear();
    h.server.stop();
    h.server.start(RegisteredSyncDevice{QStringLiteral("iPhone"), deviceCredential, Date()});
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.statuses.contains(LocalSyncServer::statusAwaitingConnection()); },
                                serverWaitMilliseconds));
    const quint16 port = h.services.lastListener().port;
    ASSERT_NE(port, before);

    MemoryPskClient phone(SyncNetworkParameters::make(deviceCredential));
    const int phonePeer = helloPeer(port, phone);
    const QByteArray partOfAHello = QByteArray::fromHex("160301");
    std::vector<int> flood;
    for (int i = 0; i < 1000; ++i) {
        flood.push_back(rawPeer(port));
        if (i % 3 == 1)
            ::send(flood.back(), "GET / HTTP/1.1\r\n", 16, MSG_NOSIGNAL);
        else if (i % 3 == 2)
            ::send(flood.back(), partOfAHello.constData(), size_t(partOfAHello.size()), MSG_NOSIGNAL);
    }
    ASSERT_TRUE(finishHandshake(phonePeer, phone, serverWaitMilliseconds)) << "the phone's connection was given up";
    EXPECT_FALSE(exchange(phonePeer, phone, SyncChannel::frameOf(SyncMessage::readSnapshot()), serverWaitMilliseconds)
                     .isEmpty());
    for (const int peer : flood)
        ::close(peer);
    ::close(phonePeer);
}
