#include "support/FakeCloudContainer.h"

#include <thread>

namespace vantorel {

namespace {

void onOtherThread(const std::function<void()>& work)
{
    std::thread(work).join();
}

template <typename T>
void record(QList<T>& requests, T request, const std::function<void()>& onRequest)
{
    requests.append(std::move(request));
    if (onRequest)
        onRequest();
}

} // namespace

void FakeCloudContainer::accountStatus(StatusCompletion completion)
{
    record(statusRequests, std::move(completion), onRequest);
}

void FakeCloudContainer::fetchUserRecordID(UserRecordIDCompletion completion)
{
    record(identityRequests, std::move(completion), onRequest);
}

void FakeCloudContainer::add(std::shared_ptr<CloudDatabaseOperation> operation)
{
    record(operations, std::move(operation), onRequest);
}

void FakeCloudContainer::answerStatus(CloudAccountStatus status, std::exception_ptr error)
{
    onOtherThread([completion = statusRequests.last(), status, error] { completion(status, error); });
}

void FakeCloudContainer::answerIdentity(std::optional<CloudRecordID> id, std::exception_ptr error)
{
    onOtherThread([completion = identityRequests.last(), id, error] { completion(id, error); });
}

void FakeCloudContainer::report(const CloudRecordID& id, const CloudRecordOutcome& outcome)
{
    onOtherThread([operation = operations.last(), id, outcome] { operation->reportRecord(id, outcome); });
}

void FakeCloudContainer::finish(std::exception_ptr error)
{
    onOtherThread([operation = operations.last(), error] {
        operation->reportResult(error);
        operation->completionBlock();
    });
}

void FakeCloudContainer::complete()
{
    onOtherThread([operation = operations.last()] { operation->completionBlock(); });
}

} // namespace vantorel
