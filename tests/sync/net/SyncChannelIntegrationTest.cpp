#include "core/foundation/CancellationError.h"
#include "sync/net/QtPskConnection.h"
#include "sync/net/QtPskListener.h"
#include "sync/net/SyncChannel.h"
#include "sync/net/SyncNetworkParameters.h"
#include "sync/net/SyncWire.h"
#include "support/ManualSleeper.h"
#include "support/OpensslPeer.h"
#include "sync/net/NetTestOutcome.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>

#include <memory>

using namespace vantorel;

namespace {

constexpr int channelWaitMilliseconds = 15'000;

const SyncCredential channelCredential{QUuid("{5d1e2f3a-4b5c-4d6e-8f70-8192a3b4c5d6}"), QByteArray::fromHex(
                                    "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f")};

// The server's side of one exchange: the request, then `answer` (none: wait for the peer).
QCoro::Task<> serve(std::shared_ptr<SyncChannel> channel, std::optional<SyncMessage> answer,
                    std::shared_ptr<Outcome> outcome)
{
    try {
        co_await channel->open();
        outcome->message = co_await channel->receive(10);
        if (answer)
            co_await channel->send(*answer);
        else
            co_await channel->receive(10);
        outcome->result = "ok";
    } catch (...) {
        outcome->result = errorName(std::current_exception());
    }
    channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
    outcome->done = true;
}

struct Server
{
    explicit Server(std::optional<SyncMessage> answer, const SyncCredential& serverCredential = channelCredential)
        : listener(SyncNetworkParameters::make(serverCredential), QHostAddress::LocalHost)
    {
        listener.setNewConnectionHandler([this, answer](std::unique_ptr<PskConnection> connection) {
            serve(SyncChannel::create(std::move(connection), sleeper), answer, outcome);
        });
        listener.start();
        EXPECT_TRUE(QTest::qWaitFor([this] { return listener.port() != 0; }, channelWaitMilliseconds));
    }

    ManualSleeper sleeper;
    QtPskListener listener;
    std::shared_ptr<Outcome> outcome = std::make_shared<Outcome>();
};

QStringList pskArguments()
{
    return OpensslPeer::pskArguments(channelCredential.key, SyncNetworkParameters::make(channelCredential).identity);
}

} // namespace

TEST(SyncChannelIntegrationTest, FramedRequestAndAnswerOverTlsPsk)
{
    Server server(SyncMessage::failure(UsageSyncError(UsageSyncError::Code::pairingBusy)));
    ManualSleeper sleeper;
    // A large request crosses many 16 KiB reads.
    const QString name(300'000, u'名');
    auto client = ask(server.listener.port(), SyncMessage::pair(name), sleeper, channelCredential);
    ASSERT_TRUE(QTest::qWaitFor([&] { return client->done && server.outcome->done; }, channelWaitMilliseconds));
    EXPECT_EQ(client->result, "ok");
    ASSERT_TRUE(client->message && client->message->as<SyncMessage::Failure>());
    EXPECT_EQ(client->message->as<SyncMessage::Failure>()->error.code(), UsageSyncError::Code::pairingBusy);
    EXPECT_EQ(server.outcome->result, "ok");
    ASSERT_TRUE(server.outcome->message && server.outcome->message->as<SyncMessage::Pair>());
    EXPECT_EQ(server.outcome->message->as<SyncMessage::Pair>()->deviceName, name);
}

TEST(SyncChannelIntegrationTest, SilentPeerTimesOutAndCancellationClosesTheConnection)
{
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "timed out");
        Server server(std::nullopt);
        ManualSleeper sleeper;
        CancelToken token;
        auto client = ask(server.listener.port(), SyncMessage::readSnapshot(), sleeper, channelCredential, 0.5, token);
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.outcome->message.has_value(); }, channelWaitMilliseconds));
        EXPECT_FALSE(client->done);
        if (cancel)
            token.cancel();
        else
            sleeper.advance(0.5);
        ASSERT_TRUE(QTest::qWaitFor([&] { return client->done && server.outcome->done; }, channelWaitMilliseconds));
        EXPECT_EQ(client->result, cancel ? "CancellationError" : "timedOut");
        // The server saw the stream end without a frame.
        EXPECT_EQ(server.outcome->result, "unavailable");
    }
}

TEST(SyncChannelIntegrationTest, OurClientTalksToOpensslServer)
{
    if (!OpensslPeer::isInstalled())
        GTEST_SKIP() << "openssl not installed";
    const quint16 port = OpensslPeer::freePort();
    QProcess server;
    QStringList arguments = {QStringLiteral("s_server"), QStringLiteral("-accept"),
                             QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("-nocert"),
                             QStringLiteral("-naccept"), QStringLiteral("1")};
    server.start(QStringLiteral("openssl"), arguments + pskArguments());
    ASSERT_TRUE(server.waitForStarted());
    QByteArray serverOutput;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        serverOutput += server.readAllStandardOutput();
        return serverOutput.contains("ACCEPT");
    }, channelWaitMilliseconds));

    ManualSleeper sleeper;
    auto client = ask(port, SyncMessage::readSnapshot(), sleeper, channelCredential);
    const QByteArray request = SyncWire::frame(R"({"message":{"readSnapshot":{}},"version":1})");
    ASSERT_TRUE(QTest::qWaitFor([&] {
        serverOutput += server.readAllStandardOutput();
        return serverOutput.contains(request);
    }, channelWaitMilliseconds)) << serverOutput.toStdString();

    server.write(SyncWire::frame(R"({"message":{"failure":{"_0":{"notPaired":{}}}},"version":1})"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return client->done; }, channelWaitMilliseconds));
    EXPECT_EQ(client->result, "ok");
    ASSERT_TRUE(client->message && client->message->as<SyncMessage::Failure>());
    EXPECT_EQ(client->message->as<SyncMessage::Failure>()->error.code(), UsageSyncError::Code::notPaired);

    server.closeWriteChannel();
    if (!server.waitForFinished(5'000))
        server.kill();
    server.waitForFinished();
}
