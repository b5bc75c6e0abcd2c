#pragma once

#include "app/syncui/MacSyncCoordinator.h"
#include "app/syncui/MacSyncDeviceStorage.h"
#include "core/foundation/PendingCompletion.h"

#include <QStringList>

#include <exception>

namespace vantorel {

// The servers a coordinator makes through factory(), recorded where they outlive them: calls
// in order ("start", "stop", "snapshot <revision>", "beginPairing", "cancelPairing", "approve",
// "reject"), each server's handlers (a test may fire those of a stopped one) and scripted answers.
struct FakeMacSyncServers
{
    MacSyncCoordinator::ServerFactory factory();
    // The last server's status report, with its listener down or not.
    void report(const QString& text, bool down = false);

    QStringList calls;
    QList<std::pair<QUuid, QString>> created;
    QList<MacSyncServing::PairingRequestHandler> pairingHandlers;
    QList<MacSyncServing::StatusHandler> statusHandlers;
    std::exception_ptr startError;
    // What every server says listenerDown() is.
    bool listenerDown = false;
    // What beginPairing() answers, or throws without it.
    std::optional<PairingInvitation> invitation;
    // approvePairing throws `approveError` before persisting, `approveErrorAfterPersist` after.
    std::exception_ptr approveError;
    std::exception_ptr approveErrorAfterPersist;
    bool approveSkipsPersist = false;
    RegisteredSyncDevice approvedDevice;
};

// Loads answer `stored` at once, or with `loadsAtOnce` false wait in `waiting` until the test
// settles them; save and remove throw what they are given.
class FakeMacSyncDeviceStorage final : public MacSyncDeviceStorage
{
public:
    QCoro::Task<std::optional<RegisteredSyncDevice>> load(CancelToken token) override;
    void save(const RegisteredSyncDevice& device) override;
    void remove() override;
    void completeLoad(const std::optional<RegisteredSyncDevice>& device) { waiting.takeFirst().complete(device); }

    bool loadsAtOnce = true;
    std::optional<RegisteredSyncDevice> stored;
    std::exception_ptr saveError;
    std::exception_ptr removeError;
    QList<PendingCompletion<std::optional<RegisteredSyncDevice>>> waiting;
};

} // namespace vantorel
