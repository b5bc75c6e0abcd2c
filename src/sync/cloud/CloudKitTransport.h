#pragma once

#include "sync/net/UsageSyncTransport.h"

#include <QObject>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>

namespace vantorel {

class CloudSnapshotStoring;

// The companion's read of the Mac's snapshot through the cloud store, for one account and one
// Mac. Nothing published reads as notPublished; a newer fetch or cancel() makes a fetch in flight
// end cancelled, whatever the store then delivers. Main thread.
class CloudKitTransport final : public QObject, public UsageSyncTransport
{
public:
    CloudKitTransport(std::shared_ptr<CloudSnapshotStoring> store, QString accountID, QUuid hostID);

    QCoro::Task<UsageSyncSnapshot> fetchSnapshot(CancelToken token = {}) override;
    void cancel() override;

private:
    const std::shared_ptr<CloudSnapshotStoring> m_store;
    const QString m_accountID;
    const QUuid m_hostID;
    std::optional<QUuid> m_operationID;
};

} // namespace vantorel
