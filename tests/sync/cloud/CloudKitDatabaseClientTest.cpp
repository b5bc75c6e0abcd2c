#include "CloudTestSupport.h"

#include "sync/cloud/CloudKitDatabaseClient.h"
#include "support/FakeCloudContainer.h"
#include "support/ManualSleeper.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using Code = CloudKitError::Code;
using Status = CloudAccountStatus;
using test::ck;
using test::nameOf;
using test::partial;

QCoro::Task<QString> operationResult(CloudKitDatabaseClient& client, bool save, CloudRecord record, CancelToken token)
{
    if (save) {
        co_await client.saveRecord(record, token);
        co_return QStringLiteral("record");
    }
    const auto fetched = co_await client.fetchRecord(std::nullopt, token);
    co_return fetched ? QStringLiteral("record") : QStringLiteral("none");
}

class CloudKitDatabaseClientTest : public testing::Test
{
protected:
    std::shared_ptr<FakeCloudContainer> cloud = std::make_shared<FakeCloudContainer>();
    ManualSleeper sleeper;
    CloudKitDatabaseClient client{cloud, sleeper};
    CancelToken token;
    const CloudRecord snapshotRecord{CloudSnapshotCodec::recordType, CloudSnapshotCodec::recordID()};
};

TEST_F(CloudKitDatabaseClientTest, AccountIdentifierAnsweredBeforeOrAfterTheCallerWaits)
{
    const auto none = std::exception_ptr();
    const struct
    {
        int status;
        std::exception_ptr statusError;
        std::optional<QString> user;
        std::exception_ptr userError;
        std::string expected;
    } rows[] = {
        {1, none, "_user", none, "_user"},
        {1, ck(Code::notAuthenticated), "_user", none, "ck9"},
        {2, none, std::nullopt, none, "restricted"},
        {3, none, std::nullopt, none, "notSignedIn"},
        {0, none, std::nullopt, none, "unavailable"},
        {7, none, std::nullopt, none, "unavailable"},
        {1, none, std::nullopt, none, "notSignedIn"},
        {1, none, "", none, "notSignedIn"},
        {1, none, std::nullopt, ck(Code::serviceUnavailable), "ck6"},
    };
    for (const bool early : {true, false}) {
        for (const auto& row : rows) {
            const auto fake = std::make_shared<FakeCloudContainer>();
            CloudKitDatabaseClient fresh(fake, sleeper);
            const auto answerStatus = [&] { fake->answerStatus(static_cast<Status>(row.status), row.statusError); };
            const auto answerUser = [&] {
                fake->answerIdentity(row.user ? std::optional(CloudRecordID{*row.user}) : std::nullopt, row.userError);
            };
            fake->onRequest = [&] {
                if (early)
                    !fake->identityRequests.isEmpty() ? answerUser() : answerStatus();
            };
            const auto outcome = startTask(fresh.accountIdentifier(token));
            if (!early) {
                answerStatus();
                drainEvents();
                if (!fake->identityRequests.isEmpty())
                    answerUser();
            }
            drainEvents();
            EXPECT_EQ(nameOf(*outcome), row.expected) << row.status << " early " << early;
            EXPECT_EQ(fresh.callsInFlight(), 0);
        }
    }
    EXPECT_EQ(sleeper.pendingCount(), 0);
}

TEST_F(CloudKitDatabaseClientTest, AnUnansweredAccountCallTimesOutAndIgnoresLateAnswers)
{
    const auto silent = startTask(client.accountIdentifier(token));
    sleeper.advance(29.9);
    EXPECT_FALSE(silent->finished);
    sleeper.advance(0.1);
    EXPECT_EQ(nameOf(*silent), "unavailable");
    cloud->answerStatus(Status::available);
    cloud->answerStatus(Status::noAccount);
    drainEvents();
    EXPECT_EQ(nameOf(*silent), "unavailable");
    EXPECT_EQ(client.callsInFlight(), 0);
}

TEST_F(CloudKitDatabaseClientTest, CancellationEndsEveryCallAndWinsOverLateAnswers)
{
    const auto account = startTask(client.accountIdentifier(token));
    const auto fetch = startTask(operationResult(client, false, snapshotRecord, token));
    EXPECT_EQ(client.callsInFlight(), 2);
    client.cancel();
    drainEvents();
    EXPECT_TRUE(cloud->operations.last()->isCancelled());
    cloud->report(CloudSnapshotCodec::recordID(), snapshotRecord);
    cloud->finish(nullptr);
    drainEvents();
    EXPECT_EQ(nameOf(*account), "cancelled");
    EXPECT_EQ(nameOf(*fetch), "cancelled");
    EXPECT_EQ(client.callsInFlight(), 0);

    CancelToken caller;
    const auto save = startTask(operationResult(client, true, snapshotRecord, caller));
    caller.cancel();
    cloud->report(CloudSnapshotCodec::recordID(), snapshotRecord);
    cloud->finish(nullptr);
    drainEvents();
    EXPECT_EQ(nameOf(*save), "cancelled");

    // A token cancelled before the call starts nothing.
    const int operationsBefore = static_cast<int>(cloud->operations.size());
    EXPECT_EQ(nameOf(waitForOutcome(client.accountIdentifier(caller))), "cancelled");
    EXPECT_EQ(nameOf(waitForOutcome(operationResult(client, false, snapshotRecord, caller))), "cancelled");
    EXPECT_EQ(nameOf(waitForOutcome(operationResult(client, true, snapshotRecord, caller))), "cancelled");
    EXPECT_EQ(cloud->statusRequests.size(), 1);
    EXPECT_EQ(cloud->operations.size(), operationsBefore);
    EXPECT_EQ(client.callsInFlight(), 0);
}

TEST_F(CloudKitDatabaseClientTest, RecordOperationOutcomes)
{
    const CloudRecordID own = CloudSnapshotCodec::recordID();
    const CloudRecordID other{"other-record"};
    const std::optional<std::exception_ptr> completionOnly;
    const struct
    {
        bool save;
        std::vector<std::pair<CloudRecordID, CloudRecordOutcome>> reports;
        std::optional<std::exception_ptr> finish;
        std::string expected;
    } rows[] = {
        {false, {{own, snapshotRecord}}, nullptr, "record"},
        {false, {{own, snapshotRecord}, {other, snapshotRecord}}, nullptr, "invalidData"},
        {false, {}, nullptr, "invalidData"},
        {false, {{own, ck(Code::unknownItem)}}, partial(ck(Code::unknownItem)), "none"},
        {false, {{own, ck(Code::unknownItem)}}, ck(Code::unknownItem), "none"},
        {false, {{own, ck(Code::quotaExceeded)}}, partial(nullptr), "ck25"},
        {false, {}, completionOnly, "unavailable"},
        {true, {{own, snapshotRecord}}, nullptr, "record"},
        {true, {{own, ck(Code::serverRecordChanged)}}, ck(Code::serviceUnavailable), "ck14"},
        {true, {{own, ck(Code::quotaExceeded)}}, partial(ck(Code::serverRecordChanged)), "ck2"},
        {true, {{other, snapshotRecord}}, partial(nullptr), "invalidData"},
        {true, {{other, snapshotRecord}}, partial(ck(Code::serverRecordChanged)), "ck2"},
        {true, {}, completionOnly, "unavailable"},
    };
    for (const auto& row : rows) {
        const auto outcome = startTask(operationResult(client, row.save, snapshotRecord, token));
        for (const auto& [id, report] : row.reports)
            cloud->report(id, report);
        row.finish ? cloud->finish(*row.finish) : cloud->complete();
        drainEvents();
        EXPECT_EQ(nameOf(*outcome), row.expected) << (row.save ? "save " : "fetch ") << row.expected;
    }
    // A cancelled operation that ends without a result is cancelled, not unavailable.
    const auto fetch = startTask(operationResult(client, false, snapshotRecord, token));
    cloud->operations.last()->cancel();
    cloud->complete();
    drainEvents();
    EXPECT_EQ(nameOf(*fetch), "cancelled");
    EXPECT_EQ(client.callsInFlight(), 0);
}

} // namespace
} // namespace vantorel
