#include "sync/model/SyncCoding.h"
#include "sync/model/SyncModelFixtures.h"
#include "sync/net/LocalNetworkTransport.h"
#include "sync/net/NetTestOutcome.h"
#include "sync/net/SyncEnvelope.h"
#include "sync/net/SyncWire.h"
#include "support/DrainEvents.h"
#include "support/FakeSyncNetworkServices.h"
#include "support/ManualSleeper.h"
#include "support/TaskOutcome.h"

#include <gtest/gtest.h>

using namespace vantorel;
using namespace vantorel::test;

namespace {

const SyncCredential credential{uuidNumber(9), QByteArray(32, 'k')};

std::string outcomeName(const TaskOutcome<UsageSyncSnapshot>& outcome)
{
    return !outcome.finished ? "waiting" : outcome.error ? errorName(outcome.error) : "ok";
}

// Plays the Mac's side of one read on a scripted connection: ready, request taken, `answer`.
void answer(FakePskConnection::Script& connection, const SyncMessage& answer)
{
    connection.reportState(PskConnection::State::ready);
    drainEvents();
    connection.completeSend();
    drainEvents();
    connection.deliver(SyncWire::frame(SyncCoding::encode(SyncEnvelope{SyncEnvelope::currentVersion, answer})));
    drainEvents();
}

} // namespace

TEST(LocalNetworkTransportTest, JudgesTheAnswerAndANewerFetchSupersedesTheOlder)
{
    ManualSleeper sleeper;
    FakeSyncNetworkServices services;
    LocalNetworkTransport transport(PairedHost{hostA, QStringLiteral("Mac"), credential, Date()}, services,
                                    sleeper, HostPortEndpoint{QStringLiteral("127.0.0.1"), 1});
    transport.cancel();
    EXPECT_TRUE(services.connections.isEmpty());

    UsageSyncSnapshot otherHost = emptySnapshot();
    otherHost.hostID = hostB;
    struct Case
    {
        const char* name;
        SyncMessage answer;
        std::string expected;
    };
    const QList<Case> cases = {
        {"snapshot", SyncMessage::snapshot(emptySnapshot()), "ok"},
        {"another host's snapshot", SyncMessage::snapshot(otherHost), "wrongHost"},
        {"refusal", SyncMessage::failure(UsageSyncError(UsageSyncError::Code::unavailable)), "unavailable"},
        {"a request for an answer", SyncMessage::readSnapshot(), "invalidData"},
        {"a pairing answer", SyncMessage::paired(PairedHost{hostA, {}, credential, Date()}), "invalidData"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto outcome = startTask(transport.fetchSnapshot());
        answer(*services.connections.last(), c.answer);
        EXPECT_EQ(outcomeName(*outcome), c.expected);
        EXPECT_GE(services.connections.last()->cancelCount, 1) << "the connection is closed after every read";
    }

    const auto first = startTask(transport.fetchSnapshot());
    const auto second = startTask(transport.fetchSnapshot());
    drainEvents();
    EXPECT_EQ(outcomeName(*first), "CancellationError");
    answer(*services.connections.last(), SyncMessage::snapshot(emptySnapshot()));
    EXPECT_EQ(outcomeName(*second), "ok");
}
