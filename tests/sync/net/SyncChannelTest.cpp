#include "core/foundation/CancellationError.h"
#include "sync/model/SyncCoding.h"
#include "sync/net/SyncChannel.h"
#include "sync/net/SyncEnvelope.h"
#include "sync/net/SyncWire.h"
#include "support/DrainEvents.h"
#include "support/FakePskConnection.h"
#include "support/ManualSleeper.h"
#include "sync/net/NetTestOutcome.h"

#include <gtest/gtest.h>

#include <QList>

#include <cerrno>
#include <cmath>

using namespace vantorel;
using State = PskConnection::State;

namespace {

template <typename T>
std::shared_ptr<Outcome> run(QCoro::Task<T> task)
{
    auto outcome = std::make_shared<Outcome>();
    track(std::move(task), outcome);
    drainEvents();
    return outcome;
}

const QByteArray readSnapshotJson = R"({"message":{"readSnapshot":{}},"version":1})";
const QByteArray pairJson = R"({"message":{"pair":{"deviceName":"iPhone"}},"version":1})";

struct Fixture
{
    Fixture()
    {
        auto connection = std::make_unique<FakePskConnection>();
        script = connection->script();
        channel = SyncChannel::create(std::move(connection), sleeper);
    }

    // Opens the channel through a ready connection.
    void openReady()
    {
        auto opened = run(channel->open());
        script->reportState(State::ready);
        drainEvents();
        ASSERT_EQ(opened->result, "ok");
    }

    ManualSleeper sleeper;
    std::shared_ptr<FakePskConnection::Script> script;
    std::shared_ptr<SyncChannel> channel;
};

bool isPair(const Outcome& outcome, const QString& name)
{
    if (!outcome.message)
        return false;
    const auto* pair = outcome.message->as<SyncMessage::Pair>();
    return pair && pair->deviceName == name;
}

} // namespace

TEST(SyncChannelTest, OpenEndsWithTheConnectionsFirstVerdict)
{
    struct Case
    {
        const char* name;
        std::function<void(FakePskConnection::Script&)> play;
        std::string expected;
    };
    const QList<Case> cases = {
        {"ready", [](auto& s) { s.reportState(State::preparing); s.reportState(State::ready); }, "ok"},
        {"failed TLS", [](auto& s) { s.reportState(State::failed, NetworkError::tls(-9806)); }, "authenticationFailed"},
        {"waiting counts as failed", [](auto& s) { s.reportState(State::waiting, NetworkError::posix(ENETUNREACH)); }, "unavailable"},
        {"waiting with EPERM", [](auto& s) { s.reportState(State::waiting, NetworkError::posix(EPERM)); }, "localNetworkDenied"},
        {"path denied wins over TLS", [](auto& s) { s.localNetworkDenied = true; s.reportState(State::failed, NetworkError::tls(-9806)); }, "localNetworkDenied"},
        {"cancelled on its own", [](auto& s) { s.reportState(State::cancelled); }, "cancelled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        auto opened = run(f.channel->open());
        EXPECT_TRUE(f.script->started);
        EXPECT_FALSE(opened->done);
        c.play(*f.script);
        drainEvents();
        EXPECT_EQ(opened->result, c.expected);
        EXPECT_EQ(f.channel->isClosed(), c.expected != "ok");
        EXPECT_EQ(f.script->cancelCount, c.expected != "ok" ? 1 : 0);
        EXPECT_EQ(f.sleeper.pendingCount(), 0) << "every ending disarms the time-out";
    }
}

TEST(SyncChannelTest, OpenTimesOutAfterTenSecondsAndNeverStartsAClosedChannel)
{
    Fixture f;
    auto opened = run(f.channel->open());
    f.sleeper.advance(9.99);
    EXPECT_FALSE(opened->done);
    f.sleeper.advance(0.01);
    EXPECT_EQ(opened->result, "timedOut");
    EXPECT_EQ(f.script->cancelCount, 1);
    EXPECT_FALSE(f.script->hasStateHandler()) << "the handler goes before the connection is cancelled";

    Fixture once;
    once.openReady();
    EXPECT_EQ(run(once.channel->open())->result, "cancelled") << "a channel opens once";
    EXPECT_FALSE(once.channel->isClosed());

    Fixture closedFirst;
    closedFirst.channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
    EXPECT_EQ(run(closedFirst.channel->open())->result, "cancelled");
    EXPECT_FALSE(closedFirst.script->started);
}

TEST(SyncChannelTest, SendFramesOneEnvelopeAtATime)
{
    Fixture f;
    f.openReady();
    auto first = run(f.channel->send(SyncMessage::readSnapshot()));
    ASSERT_EQ(f.script->sent.size(), 1);
    EXPECT_EQ(f.script->sent.front(), SyncWire::frame(readSnapshotJson));
    EXPECT_EQ(f.script->sent.front().size(), 47);

    auto second = run(f.channel->send(SyncMessage::pair(QStringLiteral("iPhone"))));
    EXPECT_EQ(second->result, "cancelled");
    EXPECT_EQ(f.script->sent.size(), 1);
    EXPECT_FALSE(f.channel->isClosed());

    f.script->completeSend();
    drainEvents();
    EXPECT_EQ(first->result, "ok");
    EXPECT_EQ(f.sleeper.pendingCount(), 0);

    auto failure = run(f.channel->send(SyncMessage::failure(UsageSyncError(UsageSyncError::Code::pairingBusy))));
    EXPECT_EQ(f.script->sent.last().mid(4), R"({"message":{"failure":{"_0":{"pairingBusy":{}}}},"version":1})");
    f.script->completeSend(NetworkError::posix(ECONNRESET));
    drainEvents();
    EXPECT_EQ(failure->result, "unavailable");
    EXPECT_TRUE(f.channel->isClosed());
    EXPECT_EQ(run(f.channel->send(SyncMessage::readSnapshot()))->result, "cancelled");
}

TEST(SyncChannelTest, SendThatCannotBeEncodedOrFramedLeavesTheChannelAlone)
{
    Fixture f;
    f.openReady();
    EXPECT_EQ(run(f.channel->send(SyncMessage::pair(QString(SyncWire::maximumPayloadBytes, u'a'))))->result,
              "invalidData");
    UsageSyncSnapshot snapshot;
    snapshot.generatedAt = Date(std::nan(""));
    EXPECT_EQ(run(f.channel->send(SyncMessage::snapshot(snapshot)))->result, "encode");
    EXPECT_FALSE(f.channel->isClosed());
    EXPECT_TRUE(f.script->sent.isEmpty());

    auto sent = run(f.channel->send(SyncMessage::readSnapshot()));
    f.sleeper.advance(10);
    EXPECT_EQ(sent->result, "timedOut");
}

TEST(SyncChannelTest, ReceiveJudgesReadsInOrder)
{
    const QByteArray frame = SyncWire::frame(pairJson);
    struct Read
    {
        QByteArray bytes;
        bool isComplete = false;
        std::optional<NetworkError> error;
    };
    struct Case
    {
        const char* name;
        QList<Read> reads;
        std::string expected;
    };
    const QList<Case> cases = {
        {"one whole frame", {{frame}}, "ok"},
        {"split in the header and the payload", {{frame.left(2)}, {frame.mid(2, 10)}, {frame.mid(12)}}, "ok"},
        {"last bytes together with the end", {{frame.left(5)}, {frame.mid(5), true}}, "ok"},
        {"last bytes together with an error", {{frame, false, NetworkError::posix(ECONNRESET)}}, "ok"},
        {"two whole frames in one read", {{frame + frame}}, "invalidData"},
        {"end in the middle of a frame", {{frame.left(10)}, {{}, true}}, "unavailable"},
        {"end before anything", {{{}, true}}, "unavailable"},
        {"read error", {{frame.left(3), false, NetworkError::tls(-9820)}}, "authenticationFailed"},
        {"zero length header", {{QByteArray(4, '\0')}}, "invalidData"},
        {"payload that is not JSON", {{SyncWire::frame("not json")}}, "invalidData"},
        {"version 2", {{SyncWire::frame(R"({"message":{"readSnapshot":{}},"version":2})")}}, "unsupportedVersion"},
        {"version 2 with an unknown case", {{SyncWire::frame(R"({"message":{"hello":{}},"version":2})")}}, "invalidData"},
        {"no version", {{SyncWire::frame(R"({"message":{"readSnapshot":{}}})")}}, "invalidData"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.openReady();
        auto received = run(f.channel->receive(20));
        for (const Read& read : c.reads) {
            ASSERT_TRUE(f.script->deliver(read.bytes, read.isComplete, read.error));
            drainEvents();
        }
        EXPECT_EQ(received->result, c.expected);
        EXPECT_EQ(f.script->lastMaximumLength, 16'384);
        EXPECT_FALSE(f.script->pendingReceive.has_value()) << "no read outstanding once a receive ended";
        EXPECT_EQ(f.channel->isClosed(), c.expected != "ok");
        if (c.expected == "ok") {
            EXPECT_TRUE(isPair(*received, QStringLiteral("iPhone")));
        }
    }
}

TEST(SyncChannelTest, BytesAfterAFrameWaitForTheNextReceive)
{
    Fixture f;
    f.openReady();
    const QByteArray next = SyncWire::frame(R"({"message":{"pair":{"deviceName":"次"}},"version":1})");
    auto first = run(f.channel->receive(20));
    f.script->deliver(SyncWire::frame(pairJson) + next.left(6));
    drainEvents();
    EXPECT_TRUE(isPair(*first, QStringLiteral("iPhone")));

    auto second = run(f.channel->receive(20));
    EXPECT_FALSE(second->done);
    f.script->deliver(next.mid(6), true);
    drainEvents();
    EXPECT_TRUE(isPair(*second, QStringLiteral("次")));

    // The end that came with the last bytes is seen by the next receive.
    auto third = run(f.channel->receive(20));
    f.script->deliver({}, true);
    drainEvents();
    EXPECT_EQ(third->result, "unavailable");
}

TEST(SyncChannelTest, OneTimeOutSlotSharedByAllOperations)
{
    for (double timeout : {0.0, -1.0, std::nan("")}) {
        SCOPED_TRACE(timeout);
        Fixture f;
        f.openReady();
        auto received = run(f.channel->receive(timeout));
        EXPECT_EQ(f.sleeper.requestedDurations().last(), 0.01);
        f.sleeper.advance(0.01);
        EXPECT_EQ(received->result, "timedOut");
    }

    // A send's 10 s replaces a receive's 20 s; once the send is processed nothing is armed, and
    // the receive waits on until something ends it.
    Fixture f;
    f.openReady();
    auto received = run(f.channel->receive(20));
    auto sent = run(f.channel->send(SyncMessage::readSnapshot()));
    EXPECT_EQ(f.sleeper.pendingCount(), 1);
    f.script->completeSend();
    drainEvents();
    EXPECT_EQ(sent->result, "ok");
    EXPECT_EQ(f.sleeper.pendingCount(), 0);
    f.sleeper.advance(60);
    EXPECT_FALSE(received->done);

    // A time-out ends every waiting operation.
    auto again = run(f.channel->send(SyncMessage::readSnapshot()));
    f.sleeper.advance(10);
    EXPECT_EQ(again->result, "timedOut");
    EXPECT_EQ(received->result, "timedOut");
    EXPECT_EQ(run(f.channel->receive(5))->result, "cancelled");
}

TEST(SyncChannelTest, SecondReceiveIsRefusedAndCloseTwiceKeepsTheFirstError)
{
    Fixture f;
    f.openReady();
    auto first = run(f.channel->receive(20));
    EXPECT_EQ(run(f.channel->receive(20))->result, "cancelled");
    EXPECT_FALSE(first->done);

    f.channel->close(UsageSyncError(UsageSyncError::Code::pairingRejected));
    f.channel->close(UsageSyncError(UsageSyncError::Code::timedOut));
    drainEvents();
    EXPECT_EQ(first->result, "pairingRejected");
    EXPECT_EQ(f.script->cancelCount, 1);

    // A read that completes after the close is dropped.
    EXPECT_TRUE(f.script->deliver(SyncWire::frame(pairJson)));
    drainEvents();
    EXPECT_EQ(f.script->receiveCount, 1);
}

TEST(SyncChannelTest, CancellingOneCallerClosesTheChannelForAll)
{
    Fixture f;
    f.openReady();
    CancelToken token;
    auto received = run(f.channel->receive(20, token));
    auto sent = run(f.channel->send(SyncMessage::readSnapshot()));
    token.cancel();
    drainEvents();
    EXPECT_EQ(received->result, "CancellationError");
    EXPECT_EQ(sent->result, "CancellationError");
    EXPECT_TRUE(f.channel->isClosed());
    EXPECT_EQ(f.script->cancelCount, 1);

    // Already cancelled: the operation throws at once and the channel closes right after.
    Fixture g;
    auto opened = run(g.channel->open(token));
    EXPECT_EQ(opened->result, "CancellationError");
    EXPECT_FALSE(g.script->started);
    EXPECT_TRUE(g.channel->isClosed());
}

TEST(SyncChannelTest, CallbacksDoNotKeepTheChannelAlive)
{
    Fixture f;
    f.openReady();
    std::weak_ptr<SyncChannel> weak = f.channel;
    {
        auto received = run(f.channel->receive(20));
        f.channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
        drainEvents();
        EXPECT_TRUE(received->done);
    }
    f.channel.reset();
    drainEvents();
    EXPECT_TRUE(weak.expired());
    // Late callbacks find no channel.
    EXPECT_TRUE(f.script->deliver(SyncWire::frame(pairJson)));
    f.sleeper.advance(30);
    drainEvents();
}
