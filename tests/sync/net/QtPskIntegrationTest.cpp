#include "sync/net/HeldConnections.h"
#include "sync/net/LingeringSockets.h"
#include "sync/net/OpensslPskConnection.h"
#include "sync/net/QtPskConnection.h"
#include "sync/net/QtPskListener.h"
#include "sync/net/SyncNetworkFailure.h"
#include "support/DrainEvents.h"
#include "support/MemoryPskClient.h"
#include "support/FakeDnsSd.h"
#include "support/LoopbackPskPeer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslPreSharedKeyAuthenticator>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <ctime>
#include <memory>
#include <optional>
#include <vector>

#include <openssl/err.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace vantorel;
using vantorel::test::rawPeer;

namespace {

constexpr int pskWaitMilliseconds = 10'000;

PskParameters parameters(char keyByte = 'k', QByteArray identity = "0F6C1D58-6E33-4A7B-9B52-3C5D2E1F0A99")
{
    return {std::move(identity), QByteArray(PskParameters::keyBytes, keyByte)};
}

// Records what a connection reports so a test can wait for it.
struct Observed
{
    std::optional<PskConnection::State> state;
    std::optional<NetworkError> error;
    QByteArray received;
    bool ended = false;
    std::optional<NetworkError> readError;
    int sendsDone = 0;
    std::optional<NetworkError> sendError;
};

void observeState(PskConnection& connection, Observed& observed)
{
    connection.setStateHandler([&observed](PskConnection::State state, const std::optional<NetworkError>& error) {
        if (state == PskConnection::State::preparing)
            return;
        observed.state = state;
        observed.error = error;
    });
}

// Keeps reading until the end, an error, or `bytes` bytes arrived.
void readAll(PskConnection& connection, Observed& observed)
{
    connection.receive(1, 16'384, [&connection, &observed](const QByteArray& bytes, bool isComplete,
                                                           const std::optional<NetworkError>& error) {
        observed.received += bytes;
        if (error)
            observed.readError = error;
        else if (isComplete)
            observed.ended = true;
        else
            readAll(connection, observed);
    });
}

void sendOn(PskConnection& connection, Observed& observed, const QByteArray& bytes)
{
    connection.send(bytes, [&observed](const std::optional<NetworkError>& error) {
        if (error)
            observed.sendError = error;
        else
            ++observed.sendsDone;
    });
}

struct Loopback
{
    explicit Loopback(PskParameters serverParameters)
        : listener(std::move(serverParameters), QHostAddress::LocalHost)
    {
        listener.setStateHandler([this](PskListener::State state, const std::optional<NetworkError>&) {
            listenerState = state;
        });
        listener.setNewConnectionHandler([this](std::unique_ptr<PskConnection> connection) {
            accepted = std::move(connection);
            observeState(*accepted, server);
            accepted->start();
        });
        listener.start();
        EXPECT_TRUE(QTest::qWaitFor([this] { return listenerState.has_value(); }, pskWaitMilliseconds));
        EXPECT_EQ(listenerState, PskListener::State::ready);
    }

    std::unique_ptr<QtPskConnection> connect(PskParameters clientParameters)
    {
        auto connection = QtPskConnection::connecting(QStringLiteral("127.0.0.1"), listener.port(),
                                                      std::move(clientParameters));
        observeState(*connection, client);
        connection->start();
        return connection;
    }

    QtPskListener listener;
    std::optional<PskListener::State> listenerState;
    std::unique_ptr<PskConnection> accepted;
    Observed server;
    Observed client;
};

// This process's sockets accepted on 127.0.0.1:`port`: bound to it and connected to a peer. A peer
// bound to another loopback address may get the same port number for its own end.
std::vector<int> acceptedDescriptors(quint16 port)
{
    std::vector<int> found;
    const QStringList entries = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        const int descriptor = entry.toInt();
        sockaddr_in local{};
        sockaddr_in peer{};
        socklen_t localLength = sizeof local;
        socklen_t peerLength = sizeof peer;
        if (::getsockname(descriptor, reinterpret_cast<sockaddr*>(&local), &localLength) == 0
            && local.sin_family == AF_INET && local.sin_port == htons(port)
            && local.sin_addr.s_addr == htonl(INADDR_LOOPBACK)
            && ::getpeername(descriptor, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0)
            found.push_back(descriptor);
    }
    return found;
}

// Whether the server ended the connection: the peer reads its end or a reset.
bool closedByServer(int peer)
{
    char scratch[256];
    ssize_t got = 0;
    while ((got = ::recv(peer, scratch, sizeof scratch, MSG_DONTWAIT)) > 0) {
    }
    return got == 0 || (got < 0 && errno == ECONNRESET);
}

UsageSyncError::Code classified(const std::optional<NetworkError>& error)
{
    EXPECT_TRUE(error.has_value());
    return SyncNetworkFailure::classify(error.value_or(NetworkError{}), false).code();
}

} // namespace

TEST(QtPskIntegrationTest, ExchangesBytesAndClosesGracefullyAfterTheAnswer)
{
    Loopback loopback(parameters());
    auto client = loopback.connect(parameters());
    ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.client.state && loopback.server.state; }, pskWaitMilliseconds));
    ASSERT_EQ(loopback.client.state, PskConnection::State::ready);
    ASSERT_EQ(loopback.server.state, PskConnection::State::ready);

    const QByteArray request(40'000, 'q');
    sendOn(*client, loopback.client, request);
    readAll(*loopback.accepted, loopback.server);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.server.received.size() >= request.size(); }, pskWaitMilliseconds));
    EXPECT_EQ(loopback.server.received, request);
    EXPECT_EQ(loopback.client.sendsDone, 1);

    // The server answers and closes at once; the answer must still arrive whole.
    const QByteArray answer(1024 * 1024, 'a');
    sendOn(*loopback.accepted, loopback.server, answer);
    loopback.accepted->cancel();
    loopback.accepted.reset();
    readAll(*client, loopback.client);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.client.ended || loopback.client.readError; }, pskWaitMilliseconds));
    EXPECT_EQ(loopback.client.received.size(), answer.size());
    EXPECT_EQ(loopback.client.received, answer);
    EXPECT_TRUE(loopback.client.ended);
    EXPECT_FALSE(loopback.client.readError.has_value());
}

TEST(QtPskIntegrationTest, HandshakeFailsUnlessIdentityAndKeyBothMatch)
{
    struct Case
    {
        const char* name;
        PskParameters client;
    };
    const QList<Case> cases = {
        {"wrong key", parameters('x')},
        {"wrong identity", parameters('k', "6A2E0B1C-0000-4000-8000-000000000001")},
        {"identity in lower case", parameters('k', "0f6c1d58-6e33-4a7b-9b52-3c5d2e1f0a99")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Loopback loopback(parameters());
        auto client = loopback.connect(c.client);
        ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.client.state && loopback.server.state; }, pskWaitMilliseconds));
        EXPECT_EQ(loopback.client.state, PskConnection::State::failed);
        EXPECT_EQ(loopback.server.state, PskConnection::State::failed);
        EXPECT_EQ(classified(loopback.client.error), UsageSyncError::Code::authenticationFailed);
        EXPECT_EQ(classified(loopback.server.error), UsageSyncError::Code::authenticationFailed);
    }
}

TEST(QtPskIntegrationTest, RefusesPeersOfferingAnotherVersionOrSuite)
{
    struct Case
    {
        const char* name;
        QSsl::SslProtocol protocol;
        QString cipher;
    };
    const QList<Case> cases = {
        {"TLS 1.3 only", QSsl::TlsV1_3OrLater, {}},
        {"another PSK suite", QSsl::TlsV1_2, QStringLiteral("PSK-AES256-GCM-SHA384")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Loopback loopback(parameters());
        const PskParameters good = parameters();

        QSslSocket peer;
        peer.setProxy(QNetworkProxy::NoProxy);
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setProtocol(c.protocol);
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        if (!c.cipher.isEmpty()) {
            const QSslCipher cipher(c.cipher, QSsl::TlsV1_2);
            ASSERT_FALSE(cipher.isNull());
            configuration.setCiphers({cipher});
        }
        peer.setSslConfiguration(configuration);
        QObject::connect(&peer, &QSslSocket::preSharedKeyAuthenticationRequired, &peer,
                         [&](QSslPreSharedKeyAuthenticator* authenticator) {
                             authenticator->setIdentity(good.identity);
                             authenticator->setPreSharedKey(good.key);
                         }, Qt::DirectConnection);
        bool peerFailed = false;
        bool peerEncrypted = false;
        QObject::connect(&peer, &QAbstractSocket::errorOccurred, &peer, [&] { peerFailed = true; });
        QObject::connect(&peer, &QSslSocket::encrypted, &peer, [&] { peerEncrypted = true; });
        peer.connectToHostEncrypted(QStringLiteral("127.0.0.1"), loopback.listener.port());

        ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.server.state.has_value() && (peerFailed || peerEncrypted); },
                                    pskWaitMilliseconds));
        EXPECT_FALSE(peerEncrypted);
        EXPECT_EQ(loopback.server.state, PskConnection::State::failed);
        EXPECT_EQ(classified(loopback.server.error), UsageSyncError::Code::authenticationFailed);
    }
}

TEST(QtPskIntegrationTest, PeersThatLeaveOrSpeakNoTlsFailTheHandshakeAndLeaveNoTlsErrorBehind)
{
    struct Case
    {
        const char* name;
        QByteArray sent;
        UsageSyncError::Code expected;
    };
    const QList<Case> cases = {
        {"leaves without a byte", {}, UsageSyncError::Code::unavailable},
        {"speaks plain HTTP", "GET / HTTP/1.1\r\nHost: x\r\n\r\n", UsageSyncError::Code::authenticationFailed},
        {"half a client hello", QByteArray::fromHex("160301"), UsageSyncError::Code::unavailable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Loopback loopback(parameters());
        const int peer = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address{AF_INET, htons(loopback.listener.port()), {htonl(INADDR_LOOPBACK)}, {}};
        ASSERT_EQ(::connect(peer, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        if (!c.sent.isEmpty()) {
            ASSERT_EQ(::send(peer, c.sent.constData(), size_t(c.sent.size()), MSG_NOSIGNAL), c.sent.size());
        }
        ::shutdown(peer, SHUT_WR);
        ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.server.state.has_value(); }, pskWaitMilliseconds));
        EXPECT_EQ(loopback.server.state, PskConnection::State::failed);
        EXPECT_EQ(classified(loopback.server.error), c.expected);
        // Qt's TLS sockets on this thread read the same error queue.
        EXPECT_EQ(ERR_peek_error(), 0u);
        ::close(peer);
    }
}

TEST(QtPskIntegrationTest, SilentPeerGetsNoHandshakeUntilItSpeaks)
{
    // The server evicts peers that have not begun a handshake first: one that has spoken must
    // show it, one that has not must not.
    QtPskListener listener(parameters(), QHostAddress::LocalHost);
    std::unique_ptr<PskConnection> accepted;
    QList<PskConnection::State> states;
    listener.setNewConnectionHandler([&](std::unique_ptr<PskConnection> connection) {
        accepted = std::move(connection);
        accepted->setStateHandler(
            [&](PskConnection::State state, const std::optional<NetworkError>&) { states.append(state); });
        accepted->start();
    });
    listener.start();
    const int peer = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address{AF_INET, htons(listener.port()), {htonl(INADDR_LOOPBACK)}, {}};
    ASSERT_EQ(::connect(peer, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return accepted != nullptr; }, pskWaitMilliseconds));
    drainEvents();
    EXPECT_TRUE(states.isEmpty());

    ASSERT_EQ(::send(peer, "\x16", 1, MSG_NOSIGNAL), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !states.isEmpty(); }, pskWaitMilliseconds));
    EXPECT_EQ(states.first(), PskConnection::State::preparing);
    ::close(peer);
}

TEST(QtPskIntegrationTest, AnswerBeyondTheSocketBuffersStillArrivesWholeAfterTheServerLetGo)
{
    Loopback loopback(parameters());
    auto client = loopback.connect(parameters());
    ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.client.state && loopback.server.state; }, pskWaitMilliseconds));
    ASSERT_EQ(loopback.server.state, PskConnection::State::ready);

    QByteArray answer(4 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < answer.size(); ++i)
        answer[i] = char(i * 7 % 251);
    sendOn(*loopback.accepted, loopback.server, answer);
    loopback.accepted.reset();
    EXPECT_GE(LingeringSockets::instance().closingCount(), 1) << "the socket could not take it all at once";
    // The rest is encrypted a piece at a time as the peer reads, from the frame itself, not copied
    // into one encrypted whole at the close.
    EXPECT_FALSE(answer.isDetached()) << "the frame was let go before its bytes went out";
    readAll(*client, loopback.client);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.client.ended || loopback.client.readError; }, pskWaitMilliseconds));
    EXPECT_TRUE(loopback.client.received == answer) << loopback.client.received.size();
    EXPECT_TRUE(loopback.client.ended);
    EXPECT_TRUE(QTest::qWaitFor([] { return LingeringSockets::instance().closingCount() == 0; }, pskWaitMilliseconds));
}

TEST(QtPskIntegrationTest, CancelledListenerRefusesNewConnectionsAndLeavesAcceptedOnesAlone)
{
    Loopback loopback(parameters());
    auto first = loopback.connect(parameters());
    ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.server.state.has_value(); }, pskWaitMilliseconds));
    const quint16 port = loopback.listener.port();
    loopback.listener.cancel();

    Observed late;
    auto second = QtPskConnection::connecting(QStringLiteral("127.0.0.1"), port, parameters());
    observeState(*second, late);
    second->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return late.state.has_value(); }, pskWaitMilliseconds));
    EXPECT_EQ(late.state, PskConnection::State::failed);
    EXPECT_EQ(late.error->kind, NetworkError::Kind::posix);
    EXPECT_EQ(classified(late.error), UsageSyncError::Code::unavailable) << "refused, not an authentication failure";
    // Reads and sends on a failed connection get the failure, not silence.
    readAll(*second, late);
    sendOn(*second, late, "x");
    ASSERT_TRUE(QTest::qWaitFor([&] { return late.readError && late.sendError; }, pskWaitMilliseconds));

    sendOn(*first, loopback.client, "still here");
    readAll(*loopback.accepted, loopback.server);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.server.received == "still here"; }, pskWaitMilliseconds));
}

TEST(QtPskIntegrationTest, SendAfterThePeerClosedFailsInsteadOfHanging)
{
    Loopback loopback(parameters());
    auto client = loopback.connect(parameters());
    ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.client.state && loopback.server.state; }, pskWaitMilliseconds));
    client->cancel();
    readAll(*loopback.accepted, loopback.server);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.server.ended; }, pskWaitMilliseconds));

    sendOn(*loopback.accepted, loopback.server, "too late");
    ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.server.sendsDone || loopback.server.sendError; }, pskWaitMilliseconds));
    EXPECT_EQ(classified(loopback.server.sendError), UsageSyncError::Code::unavailable);
}

TEST(QtPskIntegrationTest, HandlersMayDropTheObjectThatCallsThem)
{
    // Each handler destroys its caller and then still uses what it captured.
    auto listener = std::make_unique<QtPskListener>(parameters(), QHostAddress::LocalHost);
    std::optional<PskListener::State> listenerState;
    listener->setStateHandler([&](PskListener::State state, const std::optional<NetworkError>&) {
        listener.reset();
        listenerState = state;
    });
    auto accepting = std::make_unique<QtPskListener>(parameters(), QHostAddress::LocalHost);
    std::unique_ptr<PskConnection> accepted;
    Observed server;
    accepting->setNewConnectionHandler([&](std::unique_ptr<PskConnection> connection) {
        accepting.reset();
        accepted = std::move(connection);
        observeState(*accepted, server);
        accepted->start();
    });
    listener->start();
    accepting->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return listenerState.has_value(); }, pskWaitMilliseconds));
    EXPECT_EQ(listener, nullptr);

    Observed client;
    auto connection = QtPskConnection::connecting(QStringLiteral("127.0.0.1"), accepting->port(), parameters());
    connection->setStateHandler([&](PskConnection::State state, const std::optional<NetworkError>&) {
        if (state == PskConnection::State::preparing)
            return;
        connection.reset();
        client.state = state;
    });
    connection->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.state && server.state; }, pskWaitMilliseconds));
    EXPECT_EQ(accepting, nullptr);
    EXPECT_EQ(connection, nullptr);
    EXPECT_EQ(client.state, PskConnection::State::ready);
    EXPECT_EQ(server.state, PskConnection::State::ready);
}

// The states a listener reports, and the error of the last one.
struct ListenerStates
{
    explicit ListenerStates(PskListener& listener)
    {
        listener.setStateHandler([this](PskListener::State state, const std::optional<NetworkError>& error) {
            states.append(state);
            lastError = error;
        });
    }
    QList<PskListener::State> states;
    std::optional<NetworkError> lastError;
};

TEST(QtPskIntegrationTest, AdvertisesWhileListeningAndReportsAdvertisementFailures)
{
    FakePublisher publisher;
    QtPskListener listener(parameters(), QHostAddress::LocalHost,
                           QtPskListener::Advertisement{QStringLiteral("host-pair"), QStringLiteral("_vantorel._tcp")},
                           &publisher);
    ListenerStates reported(listener);
    auto& [states, lastError] = reported;
    listener.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !states.isEmpty(); }, pskWaitMilliseconds));
    EXPECT_EQ(states, QList{PskListener::State::ready});
    EXPECT_EQ(publisher.published, QStringLiteral("host-pair _vantorel._tcp ") + QString::number(listener.port()));

    publisher.onFailure(NetworkError::dnsServiceDiscovery(-65548));
    ASSERT_TRUE(QTest::qWaitFor([&] { return states.size() == 2; }, pskWaitMilliseconds));
    EXPECT_EQ(states.last(), PskListener::State::failed);
    EXPECT_EQ(classified(lastError), UsageSyncError::Code::unavailable);

    listener.cancel();
    EXPECT_EQ(publisher.withdrawn, 1);
    EXPECT_EQ(listener.port(), 0);
}

TEST(QtPskIntegrationTest, AListenerThatCannotBeAdvertisedIsNeverReady)
{
    FakePublisher publisher;
    publisher.failAtOnce = NetworkError::dnsServiceDiscovery(NetworkError::avahiNoDaemon);
    QtPskListener listener(parameters(), QHostAddress::LocalHost,
                           QtPskListener::Advertisement{QStringLiteral("host"), QStringLiteral("_vantorel._tcp")},
                           &publisher);
    ListenerStates reported(listener);
    auto& [states, lastError] = reported;
    listener.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !states.isEmpty(); }, pskWaitMilliseconds));
    // Reports are queued in order: a ready after the failure would be delivered by now.
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(states, QList{PskListener::State::failed});
    ASSERT_TRUE(lastError);
    EXPECT_TRUE(lastError->isDiscoveryDaemonMissing());
}

namespace {

// In a process of its own: exits 1 when accepting kept the CPU busy at the descriptor limit, 2 when
// the queued connections were not accepted once descriptors were free again.
[[noreturn]] void acceptAtTheDescriptorLimit()
{
    QtPskListener listener(parameters(), QHostAddress::LocalHost);
    std::vector<std::unique_ptr<PskConnection>> accepted;
    listener.setNewConnectionHandler([&accepted](std::unique_ptr<PskConnection> c) { accepted.push_back(std::move(c)); });
    listener.start();
    // Connections queue before the event loop runs; then not one more descriptor can be opened.
    sockaddr_in address{AF_INET, htons(listener.port()), {htonl(INADDR_LOOPBACK)}, {}};
    for (int i = 0; i < 20; ++i)
        ::connect(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0), reinterpret_cast<sockaddr*>(&address), sizeof address);
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    const int lowestFree = ::dup(0);
    ::close(lowestFree);
    const rlimit exhausted{rlim_t(lowestFree), saved.rlim_max};
    ::setrlimit(RLIMIT_NOFILE, &exhausted);
    const std::clock_t before = std::clock();
    QTest::qWait(1000);
    const bool busy = std::clock() - before > CLOCKS_PER_SEC / 2;
    ::setrlimit(RLIMIT_NOFILE, &saved);
    std::_Exit(busy ? 1 : QTest::qWaitFor([&] { return accepted.size() == 20; }, pskWaitMilliseconds) ? 0 : 2);
}

} // namespace

TEST(QtPskListenerLimits, AtTheDescriptorLimitAcceptingPausesInsteadOfSpinning)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(acceptAtTheDescriptorLimit(), testing::ExitedWithCode(0), "");
}

namespace {

// In a process of its own, started as a desktop session starts it (1,024 descriptors): exits 1 when
// a listener left the limit too low for its waiting hellos beside everything else.
[[noreturn]] void listenUnderADesktopSessionsLimit()
{
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t wanted = std::min<rlim_t>(2'560, limit.rlim_max);
    limit.rlim_cur = std::min<rlim_t>(1'024, limit.rlim_max);
    ::setrlimit(RLIMIT_NOFILE, &limit);
    QtPskListener listener(parameters(), QHostAddress::LocalHost);
    ::getrlimit(RLIMIT_NOFILE, &limit);
    std::_Exit(limit.rlim_cur >= wanted ? 0 : 1);
}

} // namespace

TEST(QtPskListenerLimits, AListenerRaisesASessionsDescriptorLimitForTheHellosThatWait)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(listenUnderADesktopSessionsLimit(), testing::ExitedWithCode(0), "");
}

TEST(QtPskIntegrationTest, ABurstFromOneAddressCannotDelayAPeerOnAnother)
{
    QtPskListener listener(parameters(), QHostAddress::LocalHost);
    std::vector<std::unique_ptr<PskConnection>> accepted;
    QElapsedTimer sinceFirst;
    qint64 tookMilliseconds = 0;
    // Which hand-over brought the only connection whose peer speaks.
    std::optional<size_t> spokeAt;
    listener.setNewConnectionHandler([&](std::unique_ptr<PskConnection> connection) {
        if (!sinceFirst.isValid())
            sinceFirst.start();
        const size_t index = accepted.size();
        connection->setStateHandler([&spokeAt, index](PskConnection::State state, const std::optional<NetworkError>&) {
            if (state == PskConnection::State::preparing)
                spokeAt = index;
        });
        connection->start();
        accepted.push_back(std::move(connection));
        tookMilliseconds = sinceFirst.elapsed();
    });
    listener.start();
    // A thousand peers on one address reopening at once queue in the kernel before the event loop
    // runs, and a peer on another address behind all of them.
    constexpr int burst = 1000;
    rlimit descriptors{};
    ::getrlimit(RLIMIT_NOFILE, &descriptors);
    if (descriptors.rlim_cur < 3 * burst) {
        descriptors.rlim_cur = std::min<rlim_t>(descriptors.rlim_max, 3 * burst);
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &descriptors), 0);
    }
    std::vector<pollfd> peers;
    for (int i = 0; i < burst; ++i)
        peers.push_back({rawPeer(listener.port()), POLLIN, 0});
    const int other = rawPeer(listener.port(), htonl(INADDR_LOOPBACK + 1));
    ASSERT_EQ(::send(other, "\x16", 1, MSG_NOSIGNAL), 1);
    peers.push_back({other, POLLIN, 0});
    // Every connection is handed over or, beyond what one address may have held, closed.
    const auto closedByTheListener = [&] {
        int closed = 0;
        for (pollfd& peer : peers)
            closed += ::poll(&peer, 1, 0);
        return closed;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return int(accepted.size()) + closedByTheListener() == burst + 1; },
                                2 * pskWaitMilliseconds))
        << accepted.size() << " handed over";
    ASSERT_TRUE(QTest::qWaitFor([&] { return spokeAt.has_value(); }, pskWaitMilliseconds));
    // Behind a thousand, the other address's connection still came in turn once taken off the
    // kernel's queue: in arrival order it would have been the last.
    EXPECT_LT(*spokeAt, 500u);
    EXPECT_GE(accepted.size(), size_t(HeldConnections::defaultMaximumPerAddress));
    // Five handshakes start per ten milliseconds (the bound allows ten): one turn of the event loop
    // could start them all.
    EXPECT_GE(tookMilliseconds, qint64(accepted.size() / 10 - 2) * 10);
    // Every call on them passes MSG_DONTWAIT today; one that did not must still not stall the
    // event loop on a peer.
    for (const int descriptor : acceptedDescriptors(listener.port()))
        EXPECT_TRUE(::fcntl(descriptor, F_GETFL) & O_NONBLOCK) << "descriptor " << descriptor << " blocks";

    // Dropped, a connection closes at once without a byte.
    accepted.clear();
    for (pollfd& peer : peers) {
        EXPECT_EQ(::poll(&peer, 1, pskWaitMilliseconds), 1);
        EXPECT_TRUE(closedByServer(peer.fd));
        ::close(peer.fd);
    }
}

TEST(QtPskIntegrationTest, ClosingSocketsGoAtOnceOrAreAbortedAfterTheGrace)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    LingeringSockets lingering(std::chrono::milliseconds(200));
    QList<QTcpSocket*> peers;
    const auto connected = [&] {
        auto* socket = new QTcpSocket;
        socket->connectToHost(QHostAddress::LocalHost, server.serverPort());
        EXPECT_TRUE(socket->waitForConnected(pskWaitMilliseconds));
        EXPECT_TRUE(server.waitForNewConnection(pskWaitMilliseconds));
        peers.append(server.nextPendingConnection());
        // Reads nothing beyond a byte, so the writer's queue stays full.
        peers.last()->setReadBufferSize(1);
        return socket;
    };
    // Both peers never read: what is queued beyond the socket buffers cannot go out.
    QPointer<QTcpSocket> stuck = connected();
    stuck->write(QByteArray(64 * 1024 * 1024, 'x'));
    QPointer<QTcpSocket> idle = connected();
    lingering.close(stuck);
    lingering.close(idle);
    EXPECT_TRUE(QTest::qWaitFor([&] { return idle.isNull(); }, pskWaitMilliseconds)) << "nothing queued: closed at once";
    EXPECT_EQ(lingering.closingCount(), 1);
    EXPECT_FALSE(stuck.isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return stuck.isNull(); }, pskWaitMilliseconds));
    EXPECT_EQ(lingering.closingCount(), 0);
    qDeleteAll(peers);
}

TEST(QtPskIntegrationTest, AtMostSoManySocketsCloseAtOnceTheOldestAbortedFirst)
{
    LingeringSockets lingering(std::chrono::hours(1), nullptr, 2);
    const QPointer<QObject> first = new QObject;
    const QPointer<QObject> second = new QObject;
    const QPointer<QObject> third = new QObject;
    lingering.hold(first);
    lingering.hold(second);
    lingering.hold(third);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull()) << "the oldest was not aborted";
    EXPECT_FALSE(second.isNull());
    EXPECT_EQ(lingering.closingCount(), 2);

    // One that finished on its own leaves room.
    delete second.data();
    const QPointer<QObject> fourth = new QObject;
    lingering.hold(fourth);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(third.isNull());
    EXPECT_EQ(lingering.closingCount(), 2);
}


TEST(QtPskIntegrationTest, PeersThatSendNoClientHelloOfAPskClientsSizeAreEndedAtOnce)
{
    // The peers keep their connections open: nothing but the bytes sent may end them.
    struct Case
    {
        const char* name;
        QByteArray sent;
        qsizetype piece;
    };
    const QList<Case> cases = {
        {"131,396 bytes declared in nine", QByteArray::fromHex("160301000401020144"), 9},
        {"the same a byte at a time", QByteArray::fromHex("160301000401020144"), 1},
        {"a hello beyond the bound in pieces",
         QByteArray::fromHex("16030120000100") + QByteArray(1, '\x20') + QByteArray(1, '\x01'), 4},
        {"plain HTTP", "GET / HTTP/1.1\r\n", 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Loopback loopback(parameters());
        const int peer = rawPeer(loopback.listener.port());
        for (qsizetype offset = 0; offset < c.sent.size(); offset += c.piece) {
            const QByteArray piece = c.sent.mid(offset, c.piece);
            ASSERT_EQ(::send(peer, piece.constData(), size_t(piece.size()), MSG_NOSIGNAL), piece.size());
            QCoreApplication::processEvents();
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.server.state.has_value(); }, pskWaitMilliseconds));
        EXPECT_EQ(loopback.server.state, PskConnection::State::failed);
        EXPECT_EQ(classified(loopback.server.error), UsageSyncError::Code::authenticationFailed);
        loopback.accepted.reset();
        pollfd ended{peer, POLLIN, 0};
        EXPECT_EQ(::poll(&ended, 1, pskWaitMilliseconds), 1);
        EXPECT_TRUE(closedByServer(peer));
        EXPECT_EQ(ERR_peek_error(), 0u);
        ::close(peer);
    }
}

TEST(QtPskIntegrationTest, AHelloTrickledAByteAtATimeReachesTlsUnchanged)
{
    Loopback loopback(parameters());
    const int peer = rawPeer(loopback.listener.port());
    test::MemoryPskClient client(parameters());
    client.handshake();
    const QByteArray hello = client.takeOutput();
    for (const char byte : hello) {
        ASSERT_EQ(::send(peer, &byte, 1, MSG_NOSIGNAL), 1);
        QCoreApplication::processEvents();
    }
    // The server's flight, then the client's answer, and the server has proven the key.
    pollfd flight{peer, POLLIN, 0};
    ASSERT_TRUE(QTest::qWaitFor([&] { return ::poll(&flight, 1, 0) == 1; }, pskWaitMilliseconds));
    char chunk[4096];
    const ssize_t got = ::recv(peer, chunk, sizeof chunk, 0);
    ASSERT_GT(got, 0);
    client.give(QByteArrayView(chunk, got));
    EXPECT_FALSE(client.handshake()) << "the server's Finished cannot have come yet";
    const QByteArray answer = client.takeOutput();
    ASSERT_EQ(::send(peer, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL), answer.size());
    ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.server.state.has_value(); }, pskWaitMilliseconds));
    EXPECT_EQ(loopback.server.state, PskConnection::State::ready);
    ::close(peer);
}

TEST(QtPskIntegrationTest, ATrickledHelloCostsItsBytesAndNoTlsUntilItsLastByte)
{
    Loopback loopback(parameters());
    const int peer = rawPeer(loopback.listener.port());
    test::MemoryPskClient client(parameters());
    client.handshake();
    const QByteArray hello = client.takeOutput();
    ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.accepted != nullptr; }, pskWaitMilliseconds));
    const auto* accepted = dynamic_cast<const OpensslPskConnection*>(loopback.accepted.get());
    ASSERT_NE(accepted, nullptr);
    // Its owner hears of the set-up before TLS exists, so it can make room first.
    QList<bool> setUps;
    loopback.accepted->setTlsSetupHandler([&] {
        setUps.append(accepted->hasTlsSession());
        return true;
    });
    for (qsizetype sent = 1; sent < hello.size(); ++sent) {
        ASSERT_EQ(::send(peer, hello.constData() + sent - 1, 1, MSG_NOSIGNAL), 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return accepted->heldHelloBytes() == sent || accepted->hasTlsSession(); },
                                    pskWaitMilliseconds));
        ASSERT_FALSE(accepted->hasTlsSession()) << "TLS set up after " << sent << " of " << hello.size() << " bytes";
    }
    EXPECT_TRUE(setUps.isEmpty());
    ASSERT_EQ(::send(peer, hello.constData() + hello.size() - 1, 1, MSG_NOSIGNAL), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return accepted->hasTlsSession(); }, pskWaitMilliseconds));
    EXPECT_EQ(setUps, QList<bool>{false});
    // Handed to TLS, the hello is no longer held beside it.
    EXPECT_EQ(accepted->heldHelloBytes(), 0);
    EXPECT_FALSE(loopback.server.state.has_value());
    ::close(peer);
}

TEST(QtPskIntegrationTest, ReceivedBytesCarryNoRoomBeyondThemselves)
{
    Loopback loopback(parameters());
    auto client = loopback.connect(parameters());
    ASSERT_TRUE(QTest::qWaitFor([&] { return loopback.server.state.has_value(); }, pskWaitMilliseconds));
    ASSERT_EQ(loopback.server.state, PskConnection::State::ready);
    sendOn(*client, loopback.client, "five!");
    QByteArray received;
    loopback.accepted->receive(1, 16'384, [&](const QByteArray& bytes, bool, const std::optional<NetworkError>&) {
        received = bytes;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, pskWaitMilliseconds));
    EXPECT_EQ(received, QByteArray("five!"));
    // A caller keeping a small request must not keep the room of the largest read with it.
    EXPECT_LT(received.capacity(), 64);
}

namespace {

// A listener on 127.0.0.1 that starts every connection it hands over, noting which hand-over was
// the last whose peer proved the key.
struct Accepting
{
    Accepting()
    {
        listener.setNewConnectionHandler([this](std::unique_ptr<PskConnection> connection) {
            const size_t index = accepted.size();
            connection->setStateHandler([this, index](PskConnection::State state, const std::optional<NetworkError>&) {
                if (state == PskConnection::State::ready)
                    provenAt = index;
            });
            connection->start();
            accepted.push_back(std::move(connection));
        });
        listener.start();
        rlimit descriptors{};
        ::getrlimit(RLIMIT_NOFILE, &descriptors);
        if (descriptors.rlim_cur < 4'000) {
            descriptors.rlim_cur = std::min<rlim_t>(descriptors.rlim_max, 4'000);
            EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &descriptors), 0);
        }
    }

    // The phone reads once from 127.0.0.1: the listener remembers the address it proved the key from.
    void proveOnce()
    {
        test::MemoryPskClient phone(parameters());
        const int peer = test::helloPeer(listener.port(), phone);
        EXPECT_TRUE(test::finishHandshake(peer, phone, pskWaitMilliseconds));
        EXPECT_TRUE(QTest::qWaitFor([this] { return provenAt.has_value(); }, pskWaitMilliseconds));
        ::close(peer);
    }

    QtPskListener listener{parameters(), QHostAddress::LocalHost};
    std::vector<std::unique_ptr<PskConnection>> accepted;
    std::optional<size_t> provenAt;
};

} // namespace

// Hosts behind one shared IPv4 address look like one peer. A thousand peers there that say
// nothing, leave, speak no TLS or trickle a hello cannot push out the phone's connection, which
// sent its hello at once: before, its group gave up its oldest connections first, the phone's
// among them, before any handshake had started.
TEST(QtPskIntegrationTest, AFloodFromThePhonesOwnAddressCannotPushItsConnectionOut)
{
    Accepting a;
    a.proveOnce();
    const size_t before = a.accepted.size();
    test::MemoryPskClient phone(parameters());
    const int phonePeer = test::helloPeer(a.listener.port(), phone);
    const QByteArray partOfAHello = QByteArray::fromHex("160301");
    std::vector<int> flood;
    for (int i = 0; i < 1000; ++i) {
        flood.push_back(rawPeer(a.listener.port()));
        if (i % 4 == 1)
            ::shutdown(flood.back(), SHUT_WR);
        else if (i % 4 == 2)
            ::send(flood.back(), "GET / HTTP/1.1\r\n", 16, MSG_NOSIGNAL);
        else if (i % 4 == 3)
            ::send(flood.back(), partOfAHello.constData(), size_t(partOfAHello.size()), MSG_NOSIGNAL);
    }
    ASSERT_TRUE(test::finishHandshake(phonePeer, phone, pskWaitMilliseconds)) << "the phone's connection was given up";
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.provenAt >= before; }, pskWaitMilliseconds));
    EXPECT_EQ(*a.provenAt, before) << "started ahead of every peer that had not sent a whole hello";
    for (const int peer : flood)
        ::close(peer);
    ::close(phonePeer);
}

// Peers on the phone's own address that send whole hellos look like the phone until their
// handshakes run. None of them is given up unstarted: before, each newcomer beyond the preferred
// places pushed the oldest out, and the phone's connection went with the others two times in three.
TEST(QtPskIntegrationTest, WholeHellosFromThePhonesOwnAddressWaitTheirTurnAndNoneIsGivenUp)
{
    Accepting a;
    a.proveOnce();
    std::vector<std::unique_ptr<test::MemoryPskClient>> clients;
    std::vector<int> peers;
    for (int i = 0; i < 301; ++i) {
        clients.push_back(std::make_unique<test::MemoryPskClient>(parameters()));
        peers.push_back(test::helloPeer(a.listener.port(), *clients.back()));
    }
    // A started handshake answers with the server's first flight; one given up unstarted ends with
    // no byte at all.
    int closedUnanswered = 0;
    const auto answered = [&] {
        int count = 0;
        closedUnanswered = 0;
        for (const int peer : peers) {
            char byte;
            const ssize_t got = ::recv(peer, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
            count += got > 0;
            closedUnanswered += got == 0;
        }
        return count;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered() + closedUnanswered == int(peers.size()); }, pskWaitMilliseconds));
    EXPECT_EQ(closedUnanswered, 0);
    // The phone among them, the middle one, finishes its handshake.
    EXPECT_TRUE(test::finishHandshake(peers[150], *clients[150], pskWaitMilliseconds));
    for (const int peer : peers)
        ::close(peer);
}

// Silent peers on 600 addresses, more than the listener has places for and than one span of a
// hash: a round over them takes more than a second. The phone's next connection does not wait for it.
TEST(QtPskIntegrationTest, PeersOnMoreAddressesThanPlacesCannotHoldBackAPhoneThatProvedTheKey)
{
    Accepting a;
    a.proveOnce();
    constexpr int addresses = 600;
    std::vector<pollfd> peers;
    for (int i = 0; i < addresses; ++i)
        peers.push_back({rawPeer(a.listener.port(), htonl(0x7f000000u | quint32(1 + i / 250) << 8 | quint32(1 + i % 250))),
                         POLLIN, 0});
    const auto closedByTheListener = [&] {
        int closed = 0;
        for (pollfd& peer : peers)
            closed += ::poll(&peer, 1, 0);
        return closed;
    };
    // Every one is held or handed over or, once every place was taken, given up; the phone's first
    // connection stays open beside them.
    int held = 0;
    int taken = 0;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            taken = int(acceptedDescriptors(a.listener.port()).size()) - 1;
            held = taken - int(a.accepted.size() - 1);
            return taken + closedByTheListener() == addresses;
        },
        2 * pskWaitMilliseconds))
        << taken << " taken, " << closedByTheListener() << " closed";
    EXPECT_GT(closedByTheListener(), 0) << "every place was taken";
    ASSERT_GT(held, 10) << "a round is still to go";
    const size_t before = a.accepted.size();
    test::MemoryPskClient phone(parameters());
    const int phonePeer = test::helloPeer(a.listener.port(), phone);
    ASSERT_TRUE(test::finishHandshake(phonePeer, phone, pskWaitMilliseconds));
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.provenAt >= before; }, pskWaitMilliseconds));
    // Two windows of starts at most, one of which may have been under way.
    EXPECT_LT(*a.provenAt - before, 10u) << held << " were held";
    for (const pollfd& peer : peers)
        ::close(peer.fd);
    ::close(phonePeer);
}

// Hosts sharing an address the phone once proved the key from flood it with whole hellos; the
// phone, moved to a new address, is taken and started at once. Before, the listener took nothing
// more once the flood's hellos filled its preferred places, and the phone waited in the kernel's
// queue behind the whole flood.
TEST(QtPskIntegrationTest, AHelloFloodFromARememberedAddressCannotHoldBackThePhoneOnANewOne)
{
    Accepting a;
    a.proveOnce();
    std::vector<std::unique_ptr<test::MemoryPskClient>> clients;
    std::vector<int> flood;
    for (int i = 0; i < 600; ++i) {
        clients.push_back(std::make_unique<test::MemoryPskClient>(parameters()));
        flood.push_back(test::helloPeer(a.listener.port(), *clients.back()));
    }
    const size_t before = a.accepted.size();
    test::MemoryPskClient phone(parameters());
    const int phonePeer = test::helloPeer(a.listener.port(), phone, htonl(INADDR_LOOPBACK + 2));
    ASSERT_TRUE(test::finishHandshake(phonePeer, phone, pskWaitMilliseconds));
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.provenAt >= before; }, pskWaitMilliseconds));
    EXPECT_LT(*a.provenAt - before, 10u) << "started after so many of the flood";
    // None of the flood was turned away either: they wait their turn in the listener.
    for (int& peer : flood) {
        char byte;
        EXPECT_NE(::recv(peer, &byte, 1, MSG_PEEK | MSG_DONTWAIT), 0);
        ::close(peer);
    }
    ::close(phonePeer);
}
