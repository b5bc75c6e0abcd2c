#pragma once

#include "app/syncui/MacSyncDisplayInput.h"
#include "app/syncui/MacSyncSnapshotStore.h"
#include "core/foundation/Clock.h"
#include "core/foundation/TaskHandle.h"
#include "sync/model/UsageSyncSnapshot.h"
#include "sync/net/DnsSdPublisher.h"
#include "sync/net/MacSyncServing.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>

namespace vantorel {

class MacSyncDeviceStorage;
class SettingsStore;
class Sleeper;

// The Mac's side of local-network sync: the on/off switch and its stored state, the host
// identity, the registered iPhone, the server, pairing, revocation, and the snapshot it publishes
// to the server and to the cloud coordinator. One per process, GUI thread only.
//
// Views read the getters and listen to changed(), emitted after every operation that changed
// published state; they act only through the public operations.
class MacSyncCoordinator final : public QObject
{
    Q_OBJECT

public:
    using ServerFactory = std::function<std::unique_ptr<MacSyncServing>(const QUuid& hostID, const QString& hostName)>;
    // Finds out, as DnsSdPublisher::checkAvailability does, whether the servers could be found.
    using DiscoveryCheck = std::function<void(DnsSdPublisher::AvailabilityHandler done)>;

    static QString enabledKey() { return QStringLiteral("Vantorel.sync.enabled"); }
    static QString hostIDKey() { return QStringLiteral("Vantorel.sync.hostID"); }
    static QString revocationPendingKey() { return QStringLiteral("Vantorel.sync.revocationPending"); }
    static constexpr qsizetype maximumHostNameCharacters = 100;
    static constexpr qsizetype maximumStatusTextCharacters = 256;
    static constexpr double rebuildIntervalSeconds = 60.0;
    static constexpr int maximumPairingSeconds = 300;
    // An invitation must lapse within this long to be shown.
    static constexpr double maximumInvitationLifetimeSeconds = 301.0;

    // `hostName` is the raw name of the machine; it is cleaned and cut here. The server factory
    // makes a server for every start of serving. Loads the registered device at once. Without a
    // discovery check the daemon is never missing.
    MacSyncCoordinator(std::shared_ptr<SettingsStore> defaults, std::shared_ptr<MacSyncDeviceStorage> deviceStorage,
                       const QString& hostName, Clock now, std::shared_ptr<Sleeper> sleeper,
                       ServerFactory serverFactory, DiscoveryCheck discoveryCheck = {}, QObject* parent = nullptr);
    ~MacSyncCoordinator() override;

    bool enabled() const { return m_enabled; }
    const std::optional<RegisteredSyncDevice>& registeredDevice() const { return m_registeredDevice; }
    const std::optional<PairingInvitation>& invitation() const { return m_invitation; }
    const std::optional<QString>& connectionString() const { return m_connectionString; }
    const std::optional<SyncPairingRequest>& pendingRequest() const { return m_pendingRequest; }
    const QString& statusText() const { return m_statusText; }
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    bool registrationNeedsAttention() const { return m_registrationNeedsAttention; }
    bool revocationPending() const { return m_revocationPending; }
    // The last read of the registration found no secret service at all: sync cannot turn on
    // until one runs. Cleared by the next read that gets an answer.
    bool secretStoreMissing() const { return m_secretStoreMissing; }
    // The server's last status came while nothing could reach it (no discovery daemon, no
    // network): no connection code is offered until it can. Cleared by every start of serving
    // and by a status that comes once it can be reached.
    bool listenerDown() const { return m_listenerDown; }
    // The last checkDiscoveryDaemon() found no discovery daemon, so no iPhone could find this PC
    // whether sync is on or not.
    bool discoveryDaemonMissing() const { return m_discoveryDaemonMissing; }
    const std::optional<UsageSyncSnapshot>& latestSnapshot() const { return m_latestSnapshot; }
    // A rebuild that a change asked for is still to come: scheduled, being built off this thread,
    // or built and not yet published.
    bool snapshotRefreshPending() const { return m_snapshotRefreshScheduled || m_snapshotBuild.valid(); }

    // The running server, null when not serving.
    MacSyncServing* server() const { return m_server.get(); }
    const QUuid& hostID() const { return m_snapshotStore->hostID(); }
    const QString& hostName() const { return m_hostName; }
    Date now() const { return m_now(); }

    void setEnabled(bool on);
    void beginPairing();
    void approvePendingDevice();
    void rejectPendingDevice();
    void revokeDevice();
    void clearPairingDisplay();
    // Asks, without waiting, whether the discovery daemon runs; discoveryDaemonMissing() follows
    // the answer, with changed() when it changed. For views that tell before sync is on.
    void checkDiscoveryDaemon();
    // Whole seconds left on the shown invitation, rounded up, 0 to 300.
    int remainingPairingSeconds(Date date) const;
    // Expires a shown invitation and, while sync or the cloud needs it, rebuilds the snapshot
    // at most once a minute (at once when the clock went back).
    void maintain(Date date);
    // Runs the maintenance loop while a server exists or the cloud needs it; stops it otherwise.
    void updateMaintenanceTask();
    bool displayMaintenanceEnabled() const { return m_displayMaintenanceEnabled; }
    void setDisplayMaintenanceEnabled(bool enabled) { m_displayMaintenanceEnabled = enabled; }

    // Rebuilds the snapshot from `source` now and after its changed() signals: one capture on a
    // later turn for all the signals of one turn, after the other observers of those signals and
    // the repaints they asked for, so that what the user sees is updated first. That capture is
    // built into a snapshot on a worker thread and published on a later turn, unless a change or
    // a rebuild made here came after it. Observing the same object again does nothing.
    template <typename Source>
    void observe(Source* source, std::function<MacSyncDisplayInput(const Source&)> capture)
    {
        if (m_observedSource && m_observedSource == source)
            return;
        QObject::disconnect(m_displayObservation);
        m_observedSource = source;
        QPointer<Source> weak(source);
        m_captureDisplay = [weak, capture = std::move(capture)]() -> std::optional<MacSyncDisplayInput> {
            if (!weak)
                return std::nullopt;
            return capture(*weak);
        };
        refreshSnapshotNow();
        m_displayObservation = connect(source, &Source::changed, this, &MacSyncCoordinator::scheduleSnapshotRefresh,
                                       Qt::QueuedConnection);
    }

public slots:
    // The machine woke up: a server running before sleep is rebuilt from a fresh read.
    void handleSystemWake();

signals:
    void changed();
    // Emitted as soon as a new snapshot is published, before the server receives it.
    void latestSnapshotChanged(const UsageSyncSnapshot& snapshot);

protected:
    bool event(QEvent* event) override;

private:
    class ChangeScope;
    friend class ChangeScope;

    void refreshSnapshotNow();
    void scheduleSnapshotRefresh();
    void refreshSnapshot(Date date);
    void startSnapshotBuild();
    void finishSnapshotBuild(std::uint64_t generation);
    void discardSnapshotBuild();
    void publishSnapshot(UsageSyncSnapshot snapshot);
    void loadRegistration(bool startServing);
    void finishRegistrationLoad(const std::optional<RegisteredSyncDevice>& device);
    void startServing();
    void stopServing();
    void failClosed(const std::optional<QString>& message, bool storageFailure);
    void handleTermination();
    void setStatusText(const QString& text);
    void serverStatusChanged(const QString& status);
    void setErrorMessage(const std::optional<QString>& message);
    void storeEnabled(bool enabled);
    // Seconds until maintain() can next act; the loop sleeps this long.
    double secondsUntilMaintenance() const;
    void restartMaintenanceLoop();

    static QCoro::Task<> runRegistrationLoad(QPointer<MacSyncCoordinator> self,
                                             std::shared_ptr<MacSyncDeviceStorage> storage, QUuid generation,
                                             CancelToken token);
    static QCoro::Task<> runMaintenance(QPointer<MacSyncCoordinator> self, std::shared_ptr<Sleeper> sleeper,
                                        CancelToken token);

    bool m_enabled = false;
    std::optional<RegisteredSyncDevice> m_registeredDevice;
    std::optional<PairingInvitation> m_invitation;
    std::optional<QString> m_connectionString;
    std::optional<SyncPairingRequest> m_pendingRequest;
    QString m_statusText;
    std::optional<QString> m_errorMessage;
    bool m_registrationNeedsAttention = false;
    bool m_revocationPending = false;
    bool m_secretStoreMissing = false;
    bool m_listenerDown = false;
    bool m_discoveryDaemonMissing = false;
    std::optional<UsageSyncSnapshot> m_latestSnapshot;

    std::shared_ptr<SettingsStore> m_defaults;
    std::shared_ptr<MacSyncDeviceStorage> m_deviceStorage;
    QString m_hostName;
    Clock m_now;
    std::shared_ptr<Sleeper> m_sleeper;
    ServerFactory m_serverFactory;
    DiscoveryCheck m_discoveryCheck;
    std::unique_ptr<MacSyncSnapshotStore> m_snapshotStore;
    std::unique_ptr<MacSyncServing> m_server;
    std::optional<QUuid> m_serverGeneration;
    TaskHandle m_registrationLoadTask;
    std::optional<QUuid> m_registrationLoadGeneration;
    bool m_startAfterRegistrationLoad = false;
    QPointer<QObject> m_observedSource;
    std::function<std::optional<MacSyncDisplayInput>()> m_captureDisplay;
    QMetaObject::Connection m_displayObservation;
    bool m_snapshotRefreshScheduled = false;
    // The build running off this thread, and the generation it was started at. Every change and
    // every rebuild made here moves the generation on, so a build that finds it moved is stale.
    std::future<MacSyncSnapshotStore::Candidate> m_snapshotBuild;
    std::uint64_t m_snapshotBuildGeneration = 0;
    std::uint64_t m_snapshotGeneration = 0;
    // A change came while a build ran: another starts when it ends.
    bool m_snapshotRefreshAgain = false;
    TaskHandle m_maintenanceTask;
    std::optional<Date> m_maintenanceDeadline;
    std::optional<Date> m_lastRetentionCheck;
    bool m_displayMaintenanceEnabled = false;
    int m_changeDepth = 0;
    bool m_changePending = false;
};

} // namespace vantorel
