#pragma once

#include "app/syncui/MacSyncCoordinator.h"
#include "app/syncui/MacSyncDeviceStorage.h"
#include "core/foundation/PendingCompletion.h"

#include <QList>
#include <QStringList>

#include <exception>
#include <memory>

namespace vantorel {

// Every server a coordinator makes through factory(), recorded in one place that outlives them:
// calls in order ("start", "stop", "snapshot 3", "beginPairing", "cancelPairing", "approve",
// "reject"), the handlers each server was given (so a test can fire those of a stopped one), and
// scripted answers.
class FakeMacSyncServers
{
public:
    MacSyncCoordinator::ServerFactory factory();

    QStringList calls;
    QList<std::pair<QUuid, QString>> created;
    QList<MacSyncServing::PairingRequestHandler> pairingHandlers;
    QList<MacSyncServing::StatusHandler> statusHandlers;

    std::exception_ptr startError;
    std::exception_ptr beginPairingError;
    // What beginPairing() answers; set it before pairing.
    std::optional<PairingInvitation> invitation;
    // approvePairing: throws `approveError` before calling persist, or `approveErrorAfterPersist`
    // after it; `approveSkipsPersist` returns without calling it.
    std::exception_ptr approveError;
    std::exception_ptr approveErrorAfterPersist;
    bool approveSkipsPersist = false;
    RegisteredSyncDevice approvedDevice;
};

// A device storage whose loads wait until the test settles them (or answer `stored` at once with
// `loadsAtOnce`), and whose save and remove fail when told to.
class FakeMacSyncDeviceStorage final : public MacSyncDeviceStorage
{
public:
    QCoro::Task<std::optional<RegisteredSyncDevice>> load(CancelToken token) override;
    void save(const RegisteredSyncDevice& device) override;
    void remove() override;

    // Settles the oldest waiting load.
    void completeLoad(const std::optional<RegisteredSyncDevice>& device);
    void failLoad(std::exception_ptr error);

    bool loadsAtOnce = true;
    std::optional<RegisteredSyncDevice> stored;
    std::exception_ptr loadError;
    std::exception_ptr saveError;
    std::exception_ptr removeError;
    int loads = 0;
    int saves = 0;
    QList<PendingCompletion<std::optional<RegisteredSyncDevice>>> waiting;
};

} // namespace vantorel
