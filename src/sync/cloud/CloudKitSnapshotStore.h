#pragma once

#include "sync/cloud/CloudSnapshotStoring.h"

#include <QObject>

#include <memory>

namespace vantorel {

class CloudAccountChangeNotifier;
class CloudDatabaseClient;
struct CloudStoreState;

// The snapshot store on a cloud database client. Every operation is bound to an expected account
// and fails with accountChanged when another one is signed in or the account changes meanwhile;
// the newest operation wins, and an older one, or one overtaken by cancel(), ends cancelled. The
// codec's rules decide whether a save may replace what is stored. Keeps the last snapshot read,
// so that reading an unchanged record again costs only a metadata fetch. Main thread.
class CloudKitSnapshotStore final : public CloudSnapshotStoring
{
public:
    // `notifier` may be null (no account changes are reported then); it may go before the store.
    CloudKitSnapshotStore(std::shared_ptr<CloudDatabaseClient> client, CloudAccountChangeNotifier* notifier);
    ~CloudKitSnapshotStore() override;

    QCoro::Task<QString> accountIdentifier(CancelToken token) override;
    QCoro::Task<std::optional<UsageSyncSnapshot>> fetchSnapshot(QString expectedAccountID, CancelToken token) override;
    QCoro::Task<> saveSnapshot(UsageSyncSnapshot snapshot, QString expectedAccountID, CancelToken token) override;
    QCoro::Task<> deleteSnapshot(QUuid hostID, QString expectedAccountID, CancelToken token) override;
    void cancel() override;

private:
    std::shared_ptr<CloudStoreState> m_state;
    // Ends the notifier's connection with the store.
    QObject m_context;
};

} // namespace vantorel
