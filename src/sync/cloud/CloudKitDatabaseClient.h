#pragma once

#include "sync/cloud/CloudDatabaseClient.h"

#include <memory>

namespace vantorel {

class CloudContainer;
class Sleeper;
struct CloudClientState;

// The cloud database client on a CloudContainer. Each account call waits at most
// `accountTimeoutSeconds` for its answer; record operations carry the service's own time-outs.
// Answers arrive on the container's threads and reach the waiting call only through its
// CloudCallback; everything else stays on the main thread.
class CloudKitDatabaseClient final : public CloudDatabaseClient
{
public:
    static constexpr double accountTimeoutSeconds = 30;
    static constexpr double requestTimeoutSeconds = 30;
    static constexpr double resourceTimeoutSeconds = 60;

    // `sleeper` must outlive the client.
    CloudKitDatabaseClient(std::shared_ptr<CloudContainer> container, Sleeper& sleeper);
    // Cancels every call in flight.
    ~CloudKitDatabaseClient() override;

    QCoro::Task<QString> accountIdentifier(CancelToken token) override;
    QCoro::Task<std::optional<CloudRecord>> fetchRecord(std::optional<QStringList> desiredKeys,
                                                        CancelToken token) override;
    QCoro::Task<CloudRecord> saveRecord(CloudRecord record, CancelToken token) override;
    void cancel() override;
    // The container's.
    QString temporaryDirectory() const override;

    // Record operations and account calls in flight; zero once every call has ended.
    int callsInFlight() const;

private:
    std::shared_ptr<CloudClientState> m_state;
};

} // namespace vantorel
