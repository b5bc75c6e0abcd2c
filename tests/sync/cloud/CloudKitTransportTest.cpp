#include "CloudTestSupport.h"
#include "../model/SyncModelFixtures.h"

#include "core/foundation/PendingCompletion.h"
#include "sync/cloud/CloudKitTransport.h"
#include "sync/cloud/CloudSnapshotStoring.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using test::nameOf;
using Answer = PendingCompletion<std::optional<UsageSyncSnapshot>>;

// Answers each fetch when the test settles it.
class ScriptedStore final : public CloudSnapshotStoring
{
public:
    QCoro::Task<QString> accountIdentifier(CancelToken) override { co_return QString(); }
    QCoro::Task<std::optional<UsageSyncSnapshot>> fetchSnapshot(QString, CancelToken) override
    {
        const Answer answer;
        answers.append(answer);
        co_return co_await answer;
    }
    QCoro::Task<> saveSnapshot(UsageSyncSnapshot, QString, CancelToken) override { co_return; }
    QCoro::Task<> deleteSnapshot(QUuid, QString, CancelToken) override { co_return; }
    void cancel() override { ++cancels; }

    QList<Answer> answers;
    int cancels = 0;
};

UsageSyncSnapshot from(QUuid host, quint64 revision)
{
    UsageSyncSnapshot snapshot = test::emptySnapshot();
    snapshot.hostID = host;
    snapshot.revision = revision;
    return snapshot;
}

QCoro::Task<QString> revisionRead(CloudKitTransport& transport, CancelToken token)
{
    const UsageSyncSnapshot snapshot = co_await transport.fetchSnapshot(token);
    co_return QString::number(snapshot.revision);
}

TEST(CloudKitTransport, OnlyTheLatestReadDeliversAndItIsChecked)
{
    const auto store = std::make_shared<ScriptedStore>();
    CloudKitTransport transport(store, "_user", test::hostA);

    const auto nothing = startTask(revisionRead(transport, {}));
    store->answers.last().complete(std::nullopt);
    drainEvents();
    const auto otherMac = startTask(revisionRead(transport, {}));
    store->answers.last().complete(from(test::hostB, 3));
    drainEvents();
    EXPECT_EQ(nameOf(*nothing), "notPublished");
    EXPECT_EQ(nameOf(*otherMac), "usage.wrongHost");
    EXPECT_EQ(store->cancels, 0);

    const auto older = startTask(revisionRead(transport, {}));
    const auto newer = startTask(revisionRead(transport, {}));
    EXPECT_EQ(store->cancels, 1);
    store->answers[store->answers.size() - 2].complete(from(test::hostA, 1));
    store->answers.last().complete(from(test::hostA, 2));
    drainEvents();
    EXPECT_EQ(nameOf(*older), "cancelled");
    EXPECT_EQ(nameOf(*newer), "2");

    const auto abandoned = startTask(revisionRead(transport, {}));
    transport.cancel();
    EXPECT_EQ(store->cancels, 2);
    store->answers.last().fail(CloudSyncError(CloudSyncError::Code::accountChanged));
    drainEvents();
    EXPECT_EQ(nameOf(*abandoned), "cancelled");

    CancelToken cancelled;
    cancelled.cancel();
    const auto reads = store->answers.size();
    EXPECT_EQ(nameOf(waitForOutcome(revisionRead(transport, cancelled))), "cancelled");
    EXPECT_EQ(store->answers.size(), reads);
    const auto after = startTask(revisionRead(transport, {}));
    EXPECT_EQ(store->cancels, 2); // idle again: a new read has nothing to cancel
    store->answers.last().fail(CloudSyncError(CloudSyncError::Code::accountChanged));
    drainEvents();
    EXPECT_EQ(nameOf(*after), "accountChanged");
}

} // namespace
} // namespace vantorel
