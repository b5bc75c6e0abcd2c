#pragma once

#include "sync/cloud/CloudContainer.h"

#include <QList>

#include <functional>

namespace vantorel {

// A CloudContainer that answers only when the test says so, each answer from a thread of its own
// (joined before the call returns). Answering inside `onRequest` answers before the caller has
// suspended; answering twice, late, never or about another record is up to the test.
class FakeCloudContainer final : public CloudContainer
{
public:
    void accountStatus(StatusCompletion completion) override;
    void fetchUserRecordID(UserRecordIDCompletion completion) override;
    void add(std::shared_ptr<CloudDatabaseOperation> operation) override;

    // Runs after every request has been recorded.
    std::function<void()> onRequest;
    QList<StatusCompletion> statusRequests;
    QList<UserRecordIDCompletion> identityRequests;
    QList<std::shared_ptr<CloudDatabaseOperation>> operations;

    // Each answers the latest request of its kind.
    void answerStatus(CloudAccountStatus status, std::exception_ptr error = {});
    void answerIdentity(std::optional<CloudRecordID> id, std::exception_ptr error = {});
    void report(const CloudRecordID& id, const CloudRecordOutcome& outcome);
    // The operation's result (null: success), then its completion block.
    void finish(std::exception_ptr error);
    // Only the completion block, as an operation that ends without a result.
    void complete();
};

} // namespace vantorel
