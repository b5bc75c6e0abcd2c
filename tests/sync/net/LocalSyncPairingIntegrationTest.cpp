#include "sync/model/SyncModelFixtures.h"
#include "sync/net/LocalNetworkTransport.h"
#include "sync/net/LocalSyncServer.h"
#include "sync/net/NetTestOutcome.h"
#include "support/LoopbackSyncNetworkServices.h"
#include "support/ManualSleeper.h"
#include "support/QtPrinters.h"
#include "support/TaskOutcome.h"

#include <gtest/gtest.h>

#include <QTest>

using namespace vantorel;
using namespace vantorel::test;

namespace {

constexpr int waitMilliseconds = 15'000;

const RegisteredSyncDevice oldDevice{QStringLiteral("Old"), SyncCredential{uuidNumber(7), QByteArray(32, 'o')}, Date()};

template <typename T>
std::string nameOf(const TaskOutcome<T>& outcome)
{
    return !outcome.finished ? "waiting" : outcome.error ? errorName(outcome.error) : "ok";
}

// A running server on 127.0.0.1, advertising off, serving `oldDevice` a snapshot; iPhones pair
// with the pairing listener's address.
struct Pairing
{
    Pairing()
    {
        server.setOnStatusChange([this](const QString& text) { statuses.append(text); });
        server.setOnPairingRequest([this](const std::optional<SyncPairingRequest>& r) { requests.append(r); });
        server.updateSnapshot(emptySnapshot());
        server.start(oldDevice);
        registered = services.lastListener();
    }

    ~Pairing()
    {
        // Every iPhone still waiting sees its connection end.
        server.stop();
        EXPECT_TRUE(QTest::qWaitFor([this] {
            return std::all_of(iPhones.begin(), iPhones.end(), [](const auto& o) { return o->finished; });
        }, waitMilliseconds));
    }

    std::shared_ptr<TaskOutcome<PairedHost>> pair(const PairingInvitation& invitation, CancelToken token = {})
    {
        iPhones.append(startTask(LocalNetworkTransport::pair(invitation, QStringLiteral("  My\tPhone "), services,
                                                             clientSleeper, clock.clock(), services.lastListener(),
                                                             token)));
        return iPhones.last();
    }

    bool requestPending()
    {
        return QTest::qWaitFor([this] { return !requests.isEmpty() && requests.last(); }, waitMilliseconds);
    }

    bool finished(const std::shared_ptr<TaskOutcome<PairedHost>>& iPhone)
    {
        return QTest::qWaitFor([&] { return iPhone->finished; }, waitMilliseconds);
    }

    MacSyncServing::Persist persist()
    {
        return [this](const RegisteredSyncDevice& device) { persisted.append(device); };
    }

    std::string read(const SyncCredential& credential)
    {
        LocalNetworkTransport transport(PairedHost{hostA, QStringLiteral("Mac"), credential, Date()}, services,
                                        clientSleeper, registered);
        return nameOf(waitForOutcome(transport.fetchSnapshot()));
    }

    ManualSleeper sleeper;
    ManualClock clock = sleeper.clock();
    ManualSleeper clientSleeper{clock};
    LoopbackSyncNetworkServices services;
    LocalSyncServer server{hostA, QStringLiteral("Mac"), services, sleeper, clock.clock(), false};
    HostPortEndpoint registered;
    QStringList statuses;
    QList<std::optional<SyncPairingRequest>> requests;
    QList<RegisteredSyncDevice> persisted;
    QList<std::shared_ptr<TaskOutcome<PairedHost>>> iPhones;
};

} // namespace

TEST(LocalSyncPairingIntegrationTest, ApprovedIPhoneReadsWithItsNewKeyAndTheInvitationKeyOpensNothing)
{
    Pairing p;
    const PairingInvitation invitation = p.server.beginPairing();
    EXPECT_EQ(invitation.serviceName, QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f-pair"));
    EXPECT_EQ(invitation.expiresAt, p.clock.now() + 300.0);
    const auto iPhone = p.pair(invitation);
    ASSERT_TRUE(p.requestPending());
    EXPECT_EQ(p.requests.last()->deviceName, QStringLiteral("MyPhone"));

    p.server.approvePairing(p.requests.last()->id, p.persist());
    ASSERT_TRUE(p.finished(iPhone));
    ASSERT_TRUE(iPhone->value) << nameOf(*iPhone);
    ASSERT_EQ(p.persisted.size(), 1);
    EXPECT_NE(p.persisted[0].credential, invitation.credential);
    EXPECT_EQ(iPhone->value->credential, p.persisted[0].credential);
    EXPECT_EQ(p.statuses.last(), QStringLiteral("iPhone登録済み"));
    EXPECT_EQ(p.requests.last(), std::nullopt);

    p.registered = p.services.lastListener();
    EXPECT_EQ(p.read(p.persisted[0].credential), "ok");
    EXPECT_EQ(p.read(invitation.credential), "authenticationFailed");
    EXPECT_EQ(p.read(oldDevice.credential), "authenticationFailed");
}

TEST(LocalSyncPairingIntegrationTest, ARequestEndsByDecisionConnectionOrExpiryAndAFailedApprovalChangesNothing)
{
    using Run = std::function<std::string(Pairing&)>;
    struct Case
    {
        const char* name;
        Run run;
        std::string expected;
    };
    const QList<Case> cases = {
        {"rejected", [](Pairing& p) {
             const auto iPhone = p.pair(p.server.beginPairing());
             EXPECT_TRUE(p.requestPending());
             p.server.rejectPairing(p.requests.last()->id);
             EXPECT_EQ(p.requests.last(), std::nullopt);
             return p.finished(iPhone) ? nameOf(*iPhone) : "hangs";
         }, "pairingRejected"},
        {"second iPhone while one is pending", [](Pairing& p) {
             const PairingInvitation invitation = p.server.beginPairing();
             p.pair(invitation);
             EXPECT_TRUE(p.requestPending());
             const auto second = p.pair(invitation);
             return p.finished(second) ? nameOf(*second) : "hangs";
         }, "pairingBusy"},
        {"pending iPhone leaves", [](Pairing& p) {
             CancelToken token;
             p.pair(p.server.beginPairing(), token);
             EXPECT_TRUE(p.requestPending());
             const QUuid id = p.requests.last()->id;
             token.cancel();
             EXPECT_TRUE(QTest::qWaitFor([&] { return !p.requests.last(); }, waitMilliseconds));
             return outcomeOf([&] { p.server.approvePairing(id, p.persist()); });
         }, "notPaired"},
        {"persist fails, then succeeds", [](Pairing& p) {
             const auto iPhone = p.pair(p.server.beginPairing());
             EXPECT_TRUE(p.requestPending());
             const QUuid id = p.requests.last()->id;
             const std::string refused = outcomeOf([&] {
                 p.server.approvePairing(id, [](const RegisteredSyncDevice&) {
                     throw UsageSyncError(UsageSyncError::Code::keychainFailure);
                 });
             });
             p.server.approvePairing(id, p.persist());
             return refused + " " + (p.finished(iPhone) ? nameOf(*iPhone) : "hangs");
         }, "keychainFailure ok"},
        {"listener cannot be made", [](Pairing& p) {
             p.pair(p.server.beginPairing());
             EXPECT_TRUE(p.requestPending());
             p.services.nextListenerError = UsageSyncError(UsageSyncError::Code::unavailable);
             const std::string refused = outcomeOf([&] { p.server.approvePairing(p.requests.last()->id, p.persist()); });
             return refused + " persisted " + std::to_string(p.persisted.size()) + ", old device " + p.read(oldDevice.credential);
         }, "unavailable persisted 0, old device ok"},
        {"earlier invitation's key", [](Pairing& p) {
             const PairingInvitation first = p.server.beginPairing();
             p.server.beginPairing();
             const auto iPhone = p.pair(first);
             return p.finished(iPhone) ? nameOf(*iPhone) : "hangs";
         }, "authenticationFailed"},
        {"read on the pairing listener", [](Pairing& p) {
             const PairingInvitation invitation = p.server.beginPairing();
             const auto answer = ask(p.services.lastListener().port, SyncMessage::readSnapshot(), p.clientSleeper,
                                     invitation.credential);
             EXPECT_TRUE(QTest::qWaitFor([&] { return answer->done; }, waitMilliseconds));
             const auto* failure = answer->message ? answer->message->as<SyncMessage::Failure>() : nullptr;
             return failure ? rawValue(failure->error.code()).toStdString() : answer->result;
         }, "invalidData"},
        {"expiry, not after a cancel", [](Pairing& p) {
             p.server.beginPairing();
             p.server.cancelPairing();
             p.sleeper.advance(LocalSyncServer::invitationLifetimeSeconds);
             const bool expiredAfterCancel = p.statuses.contains(LocalSyncServer::statusPairingExpired());
             p.server.beginPairing();
             p.sleeper.advance(LocalSyncServer::invitationLifetimeSeconds);
             return std::string(expiredAfterCancel ? "after cancel, " : "") + p.statuses.last().toStdString();
         }, "接続コードの有効期限が切れました"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pairing p;
        EXPECT_EQ(c.run(p), c.expected);
    }
}
