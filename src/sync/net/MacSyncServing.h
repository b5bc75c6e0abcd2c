#pragma once

#include "sync/model/UsageSyncSnapshot.h"
#include "sync/net/PairingInvitation.h"
#include "sync/net/RegisteredSyncDevice.h"
#include "sync/net/SyncPairingRequest.h"

#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

namespace vantorel {

// What the Mac's sync coordinator drives of the local-network sync server. Main thread only.
// Both callbacks run on the main thread; the server may call them at any time while it exists,
// after stop() included, and a handler may stop or destroy the server.
class MacSyncServing
{
public:
    // A request when an iPhone asks to pair; nullopt whenever no request is pending any more
    // (cancelled, expired, approved, rejected, or its connection ended).
    using PairingRequestHandler = std::function<void(const std::optional<SyncPairingRequest>& request)>;
    // The server's one-line status text; listenerDown() is settled before it is sent.
    using StatusHandler = std::function<void(const QString& text)>;
    // Stores the newly paired device; throws to refuse the approval.
    using Persist = std::function<void(const RegisteredSyncDevice& device)>;

    // The status texts of a listener that is not up.
    static QString statusCheckNetwork() { return QStringLiteral("ローカルネットワークの接続を確認してください"); }
    static QString statusDiscoveryDaemonMissing()
    {
        return QStringLiteral("avahi-daemonが動いていないため、iPhoneから接続できません");
    }

    virtual ~MacSyncServing() = default;

    virtual PairingRequestHandler onPairingRequest() const = 0;
    virtual void setOnPairingRequest(PairingRequestHandler handler) = 0;
    virtual StatusHandler onStatusChange() const = 0;
    virtual void setOnStatusChange(StatusHandler handler) = 0;

    // Whether nothing can reach the server now, so no connection code is worth offering: its
    // listener reported that it is not up (waiting or failed) and has not been ready since, or,
    // running without a listener, it found no discovery daemon. False while not running.
    virtual bool listenerDown() const = 0;

    // Keeps the snapshot after the server's own validation and revision check and serves it to
    // the registered iPhone. Never throws: a refused snapshot is reported through the status.
    virtual void updateSnapshot(const UsageSyncSnapshot& snapshot) = 0;

    // Stops whatever ran, marks the server running and, with a device, starts the registered
    // listener keyed by its credential (its states arrive as status texts); without one reports
    // "iPhoneの登録待ち", and then the missing daemon's text if it finds no discovery daemon.
    // Throws when the network parameters or the listener cannot be made.
    virtual void start(const std::optional<RegisteredSyncDevice>& registeredDevice) = 0;

    // Ends the listeners and any pairing (reported as a null request), closes open connections
    // and reports "連携OFF". The kept snapshot stays.
    virtual void stop() = 0;

    // Ends the pairing listener, invitation, expiry and pending request; reports a null request.
    virtual void cancelPairing() = 0;

    // A new invitation valid for 300 s, replacing any earlier pairing. Throws
    // UsageSyncError(unavailable) when not running, or when a credential or listener cannot be made.
    virtual PairingInvitation beginPairing() = 0;

    // Approves the pending request `requestID` (else UsageSyncError(notPaired)); `persist` runs
    // before anything changes, and its error is thrown with nothing confirmed. Whether the iPhone
    // got the result is reported through the status texts.
    virtual void approvePairing(const QUuid& requestID, const Persist& persist) = 0;

    // Tells the iPhone of the pending request `requestID` that pairing was rejected; otherwise
    // does nothing.
    virtual void rejectPairing(const QUuid& requestID) = 0;
};

} // namespace vantorel
