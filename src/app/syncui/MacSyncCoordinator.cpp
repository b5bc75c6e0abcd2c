#include "app/syncui/MacSyncCoordinator.h"

#include "app/syncui/MacSyncDeviceStorage.h"
#include "core/foundation/AppDiagnostics.h"
#include "core/foundation/CancellationError.h"
#include "core/foundation/SecretStore.h"
#include "core/foundation/SecretStoreError.h"
#include "core/foundation/SettingsStore.h"
#include "core/foundation/Sleeper.h"
#include "core/foundation/ThreadPriority.h"
#include "core/foundation/UuidText.h"
#include "sync/model/SyncDisplayName.h"
#include "sync/model/SyncText.h"
#include "sync/model/UsageSyncError.h"
#include "sync/net/NetworkError.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScopeGuard>

#include <cmath>

namespace vantorel {

namespace {

QString utf16Text(const char16_t* literal)
{
    return QString::fromUtf16(literal);
}

const char16_t* const localOffText = u"連携OFF";
const char16_t* const revocationPendingText = u"登録解除が完了していません。解除を再試行してください。";
const char16_t* const snapshotFailedText = u"同期データを作成できませんでした。このPCの表示を確認してください。";

// A pretty host name often carries emoji or invisible characters the snapshot's name check
// refuses; cleaned here once, so a refused name cannot switch sync off on every rebuild.
QString publishableHostName(const QString& name)
{
    const QString cleaned = SyncDisplayName::sanitized(name, SyncDisplayName::hostNameFallback(),
                                                       SyncDisplayName::maximumHostNameCharacters);
    return SyncText::prefix(cleaned, MacSyncCoordinator::maximumHostNameCharacters);
}

QUuid storedOrNewHostID(SettingsStore& defaults)
{
    const std::optional<QString> stored = defaults.stringValue(MacSyncCoordinator::hostIDKey());
    const std::optional<QUuid> parsed = stored ? parseUuidStrict(*stored) : std::nullopt;
    const QUuid hostID = parsed ? *parsed : QUuid::createUuid();
    defaults.set(MacSyncCoordinator::hostIDKey(), uuidText(hostID));
    return hostID;
}

bool isKeychainFailure(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const UsageSyncError& failure) {
        return failure.code() == UsageSyncError::Code::keychainFailure;
    } catch (...) {
        return false;
    }
}

} // namespace

// Emits changed() once when the outermost operation that marked a change ends.
class MacSyncCoordinator::ChangeScope
{
public:
    explicit ChangeScope(MacSyncCoordinator& owner)
        : m_owner(&owner)
    {
        ++owner.m_changeDepth;
    }
    ~ChangeScope()
    {
        if (!m_owner || --m_owner->m_changeDepth > 0 || !m_owner->m_changePending)
            return;
        m_owner->m_changePending = false;
        emit m_owner->changed();
    }
    ChangeScope(const ChangeScope&) = delete;
    ChangeScope& operator=(const ChangeScope&) = delete;

private:
    QPointer<MacSyncCoordinator> m_owner;
};

MacSyncCoordinator::MacSyncCoordinator(std::shared_ptr<SettingsStore> defaults,
                                       std::shared_ptr<MacSyncDeviceStorage> deviceStorage, const QString& hostName,
                                       Clock now, std::shared_ptr<Sleeper> sleeper, ServerFactory serverFactory,
                                       DiscoveryCheck discoveryCheck, QObject* parent)
    : QObject(parent)
    , m_statusText(utf16Text(localOffText))
    , m_defaults(std::move(defaults))
    , m_deviceStorage(std::move(deviceStorage))
    , m_hostName(publishableHostName(hostName))
    , m_now(std::move(now))
    , m_sleeper(std::move(sleeper))
    , m_serverFactory(std::move(serverFactory))
    , m_discoveryCheck(std::move(discoveryCheck))
{
    const AppDiagnostics::VersionAndBuild version = AppDiagnostics::versionAndBuild();
    m_snapshotStore = std::make_unique<MacSyncSnapshotStore>(storedOrNewHostID(*m_defaults), *m_defaults, m_hostName,
                                                             version.version, version.build);
    m_enabled = m_defaults->boolValue(enabledKey()).value_or(false);
    m_revocationPending = m_defaults->boolValue(revocationPendingKey()).value_or(false);
    if (m_revocationPending) {
        m_enabled = false;
        m_defaults->set(enabledKey(), false);
        m_errorMessage = utf16Text(revocationPendingText);
    }
    if (QCoreApplication* app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this, &MacSyncCoordinator::handleTermination);
    }
    ChangeScope scope(*this);
    loadRegistration(m_enabled);
}

MacSyncCoordinator::~MacSyncCoordinator()
{
    discardSnapshotBuild();
}

void MacSyncCoordinator::setStatusText(const QString& statusText)
{
    if (m_statusText != statusText) {
        m_statusText = statusText;
        m_changePending = true;
    }
}

void MacSyncCoordinator::checkDiscoveryDaemon()
{
    if (!m_discoveryCheck)
        return;
    m_discoveryCheck([self = QPointer<MacSyncCoordinator>(this)](const std::optional<NetworkError>& unavailable) {
        if (!self)
            return;
        ChangeScope scope(*self);
        const bool missing = unavailable && unavailable->isDiscoveryDaemonMissing();
        if (self->m_discoveryDaemonMissing != missing) {
            self->m_discoveryDaemonMissing = missing;
            self->m_changePending = true;
        }
    });
}

void MacSyncCoordinator::setErrorMessage(const std::optional<QString>& message)
{
    if (m_errorMessage != message) {
        m_errorMessage = message;
        m_changePending = true;
    }
}

void MacSyncCoordinator::storeEnabled(bool enabled)
{
    m_enabled = enabled;
    m_defaults->set(enabledKey(), enabled);
    // The switch turned, by the user or for them, is on disk at once.
    m_defaults->writeNow();
    m_changePending = true;
}

void MacSyncCoordinator::setEnabled(bool on)
{
    ChangeScope scope(*this);
    if (!on) {
        storeEnabled(false);
        stopServing();
        setStatusText(utf16Text(localOffText));
        return;
    }
    if (m_revocationPending) {
        setErrorMessage(utf16Text(revocationPendingText));
        return;
    }
    if (m_enabled && m_server)
        return;
    storeEnabled(true);
    loadRegistration(true);
}

void MacSyncCoordinator::loadRegistration(bool startServing)
{
    if (startServing) {
        if (!m_enabled || m_revocationPending)
            return;
        m_startAfterRegistrationLoad = true;
        setStatusText(utf16Text(u"接続情報を確認しています"));
    }
    if (m_registrationLoadTask.isRunning())
        return;
    const QUuid generation = QUuid::createUuid();
    m_registrationLoadGeneration = generation;
    m_registrationLoadTask = TaskHandle::start([this, generation](CancelToken token) {
        return runRegistrationLoad(QPointer<MacSyncCoordinator>(this), m_deviceStorage, generation, token);
    });
}

QCoro::Task<> MacSyncCoordinator::runRegistrationLoad(QPointer<MacSyncCoordinator> self,
                                                      std::shared_ptr<MacSyncDeviceStorage> storage, QUuid generation,
                                                      CancelToken token)
{
    std::optional<RegisteredSyncDevice> device;
    bool failed = false;
    bool storeMissing = false;
    try {
        token.throwIfCancelled();
        device = co_await storage->load(token);
        token.throwIfCancelled();
    } catch (const CancellationError&) {
        co_return;
    } catch (const SecretStoreError& error) {
        failed = true;
        storeMissing = error.status() == SecretStore::Status::notAvailable;
    } catch (...) {
        failed = true;
    }
    if (!self || token.isCancelled() || self->m_registrationLoadGeneration != generation)
        co_return;
    ChangeScope scope(*self);
    self->m_secretStoreMissing = storeMissing;
    if (storeMissing) {
        // Nothing can have been registered without a secret service: no error to clear, no
        // registration to revoke. The view says why the switch cannot stay on.
        self->failClosed(std::nullopt, false);
    } else if (failed) {
        self->failClosed(utf16Text(u"キーリングから接続情報を確認できませんでした。"), true);
    } else {
        self->finishRegistrationLoad(device);
    }
}

void MacSyncCoordinator::finishRegistrationLoad(const std::optional<RegisteredSyncDevice>& device)
{
    const bool start = m_startAfterRegistrationLoad;
    m_registrationLoadTask = TaskHandle();
    m_registrationLoadGeneration.reset();
    m_startAfterRegistrationLoad = false;
    m_registeredDevice = device;
    m_registrationNeedsAttention = false;
    m_changePending = true;
    if (start)
        startServing();
}

void MacSyncCoordinator::startServing()
{
    if (!m_enabled || m_revocationPending)
        return;
    refreshSnapshot(now());
    if (!m_enabled)
        return;
    m_server = m_serverFactory(hostID(), m_hostName);
    const QUuid generation = QUuid::createUuid();
    m_serverGeneration = generation;
    const QPointer<MacSyncCoordinator> self(this);
    auto current = [self, generation] { return self && self->m_enabled && self->m_serverGeneration == generation; };
    m_server->setOnPairingRequest([self, current](const std::optional<SyncPairingRequest>& request) {
        if (!current())
            return;
        ChangeScope scope(*self);
        self->m_pendingRequest = request;
        self->m_changePending = true;
    });
    m_server->setOnStatusChange([self, current](const QString& status) {
        if (!current())
            return;
        ChangeScope scope(*self);
        self->serverStatusChanged(status);
    });
    if (m_latestSnapshot)
        m_server->updateSnapshot(*m_latestSnapshot);
    setErrorMessage(std::nullopt);
    m_listenerDown = false;
    setStatusText(utf16Text(u"接続を開始しています"));
    try {
        m_server->start(m_registeredDevice);
    } catch (...) {
        failClosed(utf16Text(u"ローカルネットワークの接続を開始できませんでした。"), false);
        return;
    }
    updateMaintenanceTask();
}

void MacSyncCoordinator::stopServing()
{
    m_registrationLoadGeneration.reset();
    m_registrationLoadTask = TaskHandle();
    m_startAfterRegistrationLoad = false;
    m_serverGeneration.reset();
    // Reports the server makes while stopping are ignored: its generation is gone.
    if (std::unique_ptr<MacSyncServing> server = std::move(m_server))
        server->stop();
    clearPairingDisplay();
    updateMaintenanceTask();
}

void MacSyncCoordinator::failClosed(const std::optional<QString>& message, bool storageFailure)
{
    storeEnabled(false);
    stopServing();
    setStatusText(utf16Text(localOffText));
    setErrorMessage(message);
    if (storageFailure)
        m_registrationNeedsAttention = true;
}

void MacSyncCoordinator::serverStatusChanged(const QString& status)
{
    setStatusText(SyncText::prefix(status, maximumStatusTextCharacters));
    const bool down = m_server && m_server->listenerDown();
    if (down != m_listenerDown) {
        m_listenerDown = down;
        m_changePending = true;
    }
    // A code nobody can reach is not offered.
    if (down && (m_invitation || m_connectionString) && m_server) {
        m_server->cancelPairing();
        clearPairingDisplay();
    }
}

void MacSyncCoordinator::refreshSnapshotNow()
{
    ChangeScope scope(*this);
    refreshSnapshot(now());
}

namespace {

const QEvent::Type snapshotRefreshEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type snapshotBuiltEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
// Qt posts repaints at low priority, behind any queued call; this comes after them.
constexpr int afterRepaintsPriority = Qt::LowEventPriority - 1;

class SnapshotBuiltEvent final : public QEvent
{
public:
    explicit SnapshotBuiltEvent(std::uint64_t generation)
        : QEvent(snapshotBuiltEvent)
        , generation(generation)
    {
    }
    const std::uint64_t generation;
};

} // namespace

// Runs as the queued delivery of a change signal. The rebuild is posted below the priority of
// everything else, so it comes after the other observers' deliveries and what they post in
// turn, the repaint of the tray item's new picture among them.
void MacSyncCoordinator::scheduleSnapshotRefresh()
{
    // A build running now captured the source before this change.
    ++m_snapshotGeneration;
    if (m_snapshotRefreshScheduled)
        return;
    m_snapshotRefreshScheduled = true;
    QCoreApplication::postEvent(this, new QEvent(snapshotRefreshEvent), afterRepaintsPriority);
}

bool MacSyncCoordinator::event(QEvent* event)
{
    if (event->type() == snapshotRefreshEvent) {
        m_snapshotRefreshScheduled = false;
        // One build at a time: waiting for it never holds this thread up.
        if (m_snapshotBuild.valid())
            m_snapshotRefreshAgain = true;
        else
            startSnapshotBuild();
        return true;
    }
    if (event->type() == snapshotBuiltEvent) {
        finishSnapshotBuild(static_cast<SnapshotBuiltEvent*>(event)->generation);
        return true;
    }
    return QObject::event(event);
}

// The capture and the cheap check for unchanged content run here; building, encoding,
// fingerprinting and checking the snapshot run on a thread of their own, from copies.
void MacSyncCoordinator::startSnapshotBuild()
{
    if (!m_captureDisplay)
        return;
    std::optional<MacSyncDisplayInput> input = m_captureDisplay();
    if (!input)
        return;
    const Date date = now();
    if (std::optional<UsageSyncSnapshot> same = m_snapshotStore->unchanged(*input, date)) {
        ChangeScope scope(*this);
        publishSnapshot(*std::move(same));
        return;
    }
    const std::uint64_t generation = ++m_snapshotGeneration;
    m_snapshotBuildGeneration = generation;
    // The coordinator waits for this thread before it goes: the event always finds it.
    m_snapshotBuild = std::async(std::launch::async, [this, generation, builder = m_snapshotStore->builder(),
                                                      input = *std::move(input), date]() mutable {
        lowerCurrentThreadPriority();
        const auto announce = qScopeGuard([this, generation] {
            QCoreApplication::postEvent(this, new SnapshotBuiltEvent(generation), afterRepaintsPriority);
        });
        return std::move(builder).build(std::move(input), date);
    });
}

void MacSyncCoordinator::finishSnapshotBuild(std::uint64_t generation)
{
    if (!m_snapshotBuild.valid() || generation != m_snapshotBuildGeneration)
        return;
    std::future<MacSyncSnapshotStore::Candidate> build = std::move(m_snapshotBuild);
    ChangeScope scope(*this);
    if (generation == m_snapshotGeneration) {
        try {
            publishSnapshot(m_snapshotStore->commit(build.get()));
        } catch (...) {
            failClosed(utf16Text(snapshotFailedText), false);
        }
    }
    if (std::exchange(m_snapshotRefreshAgain, false))
        startSnapshotBuild();
}

void MacSyncCoordinator::discardSnapshotBuild()
{
    m_snapshotRefreshAgain = false;
    if (!m_snapshotBuild.valid())
        return;
    m_snapshotBuild.wait();
    m_snapshotBuild = {};
}

void MacSyncCoordinator::refreshSnapshot(Date date)
{
    if (!m_captureDisplay)
        return;
    const std::optional<MacSyncDisplayInput> input = m_captureDisplay();
    if (!input)
        return;
    // A build running now captured the source earlier.
    ++m_snapshotGeneration;
    UsageSyncSnapshot snapshot;
    try {
        snapshot = m_snapshotStore->update(*input, date);
    } catch (...) {
        failClosed(utf16Text(snapshotFailedText), false);
        return;
    }
    publishSnapshot(std::move(snapshot));
}

void MacSyncCoordinator::publishSnapshot(UsageSyncSnapshot snapshot)
{
    if (m_latestSnapshot && *m_latestSnapshot == snapshot)
        return;
    m_latestSnapshot = std::move(snapshot);
    m_changePending = true;
    emit latestSnapshotChanged(*m_latestSnapshot);
    if (m_server && m_latestSnapshot)
        m_server->updateSnapshot(*m_latestSnapshot);
}

void MacSyncCoordinator::clearPairingDisplay()
{
    ChangeScope scope(*this);
    if (m_invitation || m_connectionString || m_pendingRequest)
        m_changePending = true;
    m_invitation.reset();
    m_connectionString.reset();
    m_pendingRequest.reset();
}

void MacSyncCoordinator::beginPairing()
{
    if (!m_enabled || m_revocationPending || !m_server)
        return;
    ChangeScope scope(*this);
    clearPairingDisplay();
    setErrorMessage(std::nullopt);
    try {
        const PairingInvitation invitation = m_server->beginPairing();
        if (!(invitation.expiresAt > now()) || !(invitation.expiresAt <= now() + maximumInvitationLifetimeSeconds))
            throw UsageSyncError(UsageSyncError::Code::invitationExpired);
        m_connectionString = invitation.encodedString();
        m_invitation = invitation;
        m_changePending = true;
        restartMaintenanceLoop();
    } catch (...) {
        if (m_server)
            m_server->cancelPairing();
        m_invitation.reset();
        m_connectionString.reset();
        setErrorMessage(utf16Text(u"接続コードを作成できませんでした。連携を入れ直してください。"));
    }
}

int MacSyncCoordinator::remainingPairingSeconds(Date date) const
{
    if (!m_invitation)
        return 0;
    const double left = std::ceil(m_invitation->expiresAt - date);
    if (!(left > 0.0))
        return 0;
    return int(std::min(left, double(maximumPairingSeconds)));
}

void MacSyncCoordinator::approvePendingDevice()
{
    ChangeScope scope(*this);
    if (!m_enabled || !m_server || !m_pendingRequest || !(m_pendingRequest->expiresAt > now())
        || remainingPairingSeconds(now()) == 0) {
        maintain(now());
        return;
    }
    const QUuid requestID = m_pendingRequest->id;
    std::optional<RegisteredSyncDevice> persisted;
    const std::shared_ptr<MacSyncDeviceStorage> storage = m_deviceStorage;
    try {
        m_server->approvePairing(requestID, [&persisted, storage](const RegisteredSyncDevice& device) {
            storage->save(device);
            persisted = device;
        });
        if (!persisted)
            throw UsageSyncError(UsageSyncError::Code::keychainFailure);
    } catch (...) {
        const std::exception_ptr error = std::current_exception();
        m_changePending = true;
        if (persisted) {
            m_registeredDevice = persisted;
            failClosed(utf16Text(u"登録情報は保存しましたが、接続を開始できませんでした。連携を入れ直してください。"), false);
        } else {
            m_registrationNeedsAttention = isKeychainFailure(error);
            setErrorMessage(utf16Text(u"登録できませんでした。接続期限とキーリングの状態を確認してください。"));
        }
        return;
    }
    m_registeredDevice = persisted;
    m_registrationNeedsAttention = false;
    m_changePending = true;
    setErrorMessage(std::nullopt);
    clearPairingDisplay();
    setStatusText(utf16Text(u"iPhone登録済み"));
}

void MacSyncCoordinator::rejectPendingDevice()
{
    if (!m_pendingRequest)
        return;
    ChangeScope scope(*this);
    const QUuid requestID = m_pendingRequest->id;
    if (m_server)
        m_server->rejectPairing(requestID);
    clearPairingDisplay();
    setStatusText(utf16Text(u"接続を承認しませんでした"));
}

void MacSyncCoordinator::revokeDevice()
{
    ChangeScope scope(*this);
    storeEnabled(false);
    stopServing();
    setStatusText(utf16Text(localOffText));
    // Written before the keychain is touched: an interrupted revocation blocks sync until it is
    // retried.
    m_revocationPending = true;
    m_defaults->set(revocationPendingKey(), true);
    try {
        m_deviceStorage->remove();
    } catch (...) {
        m_registrationNeedsAttention = true;
        setErrorMessage(utf16Text(u"通信は停止しましたが、キーリングの登録を削除できませんでした。解除を再試行してください。"));
        return;
    }
    m_registeredDevice.reset();
    m_revocationPending = false;
    m_defaults->remove(revocationPendingKey());
    m_registrationNeedsAttention = false;
    setErrorMessage(std::nullopt);
    setStatusText(utf16Text(u"登録を解除しました"));
}

void MacSyncCoordinator::maintain(Date date)
{
    ChangeScope scope(*this);
    if (m_invitation && remainingPairingSeconds(date) == 0) {
        if (m_server)
            m_server->cancelPairing();
        clearPairingDisplay();
        setStatusText(utf16Text(u"接続コードの有効期限が切れました"));
    }
    if (!m_enabled && !m_displayMaintenanceEnabled)
        return;
    // A date before the last check means the clock was set back: rebuild rather than wait for
    // that time to come round again.
    if (m_lastRetentionCheck && date >= *m_lastRetentionCheck && date - *m_lastRetentionCheck < rebuildIntervalSeconds)
        return;
    m_lastRetentionCheck = date;
    refreshSnapshot(date);
}

double MacSyncCoordinator::secondsUntilMaintenance() const
{
    const Date current = now();
    double wait = rebuildIntervalSeconds;
    if (m_invitation)
        wait = std::fmin(wait, m_invitation->expiresAt - current);
    if (m_enabled || m_displayMaintenanceEnabled)
        wait = std::fmin(wait, m_lastRetentionCheck ? *m_lastRetentionCheck + rebuildIntervalSeconds - current : 0.0);
    // Never busier than the one-second tick this replaces.
    return std::fmax(wait, 1.0);
}

void MacSyncCoordinator::updateMaintenanceTask()
{
    if (!m_server && !m_displayMaintenanceEnabled) {
        m_maintenanceTask = TaskHandle();
        return;
    }
    if (!m_maintenanceTask.isRunning())
        restartMaintenanceLoop();
}

void MacSyncCoordinator::restartMaintenanceLoop()
{
    m_maintenanceTask = TaskHandle::start([this](CancelToken token) {
        return runMaintenance(QPointer<MacSyncCoordinator>(this), m_sleeper, token);
    });
}

QCoro::Task<> MacSyncCoordinator::runMaintenance(QPointer<MacSyncCoordinator> self, std::shared_ptr<Sleeper> sleeper,
                                                 CancelToken token)
{
    while (self && !token.isCancelled()) {
        try {
            co_await sleeper->sleep(self->secondsUntilMaintenance(), token);
        } catch (const CancellationError&) {
            co_return;
        }
        if (!self || token.isCancelled())
            co_return;
        self->maintain(self->now());
    }
}

void MacSyncCoordinator::handleSystemWake()
{
    if (!m_enabled)
        return;
    ChangeScope scope(*this);
    stopServing();
    loadRegistration(true);
}

void MacSyncCoordinator::handleTermination()
{
    ChangeScope scope(*this);
    discardSnapshotBuild();
    if (m_displayMaintenanceEnabled) {
        m_displayMaintenanceEnabled = false;
        updateMaintenanceTask();
    }
    stopServing();
}

} // namespace vantorel
