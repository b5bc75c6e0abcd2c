#pragma once

#include "app/platform/CloudSyncSwitch.h"
#include "core/foundation/Clock.h"
#include "core/foundation/TaskHandle.h"
#include "sync/model/UsageSyncSnapshot.h"

#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace vantorel {

class CloudAccountChangeNotifier;
class CloudSnapshotStoring;
class CloudSyncError;
class MacSyncCoordinator;
class SettingsStore;
class Sleeper;

// Publishes the local coordinator's latest snapshot to the user's private cloud database: the
// on/off switch and the account it was switched on for, upload pacing (only a newer revision,
// at least 60 s after the previous attempt, never before a failure's retry time), the answer to
// each failure, deleting the cloud copy, and the status texts the settings views show.
// One per process, GUI thread only.
//
// Views read the getters and listen to changed(), emitted once after every operation that
// changed what they show; enabledChanged(bool) fires on every change of enabled().
class MacCloudSyncCoordinator final : public CloudSyncSwitch
{
    Q_OBJECT

public:
    static QString enabledKey() { return QStringLiteral("Vantorel.cloudSync.enabled"); }
    static QString accountIDKey() { return QStringLiteral("Vantorel.cloudSync.accountID"); }
    static QString lastUploadAtKey() { return QStringLiteral("Vantorel.cloudSync.lastUploadAt"); }
    static QString uploadedRevisionKey() { return QStringLiteral("Vantorel.cloudSync.uploadedRevision"); }
    static QString lastAttemptAtKey() { return QStringLiteral("Vantorel.cloudSync.lastAttemptAt"); }
    static QString retryNotBeforeKey() { return QStringLiteral("Vantorel.cloudSync.retryNotBefore"); }
    static constexpr double minimumUploadSpacingSeconds = 60.0;
    // The longest single wait, and the longest retry wait a failure can impose.
    static constexpr double maximumWaitSeconds = 86'400.0;

    // `accountNotifications` may be null; it may go before the coordinator.
    MacCloudSyncCoordinator(QUuid hostID, std::shared_ptr<CloudSnapshotStoring> store,
                            std::shared_ptr<SettingsStore> defaults, Clock now, std::shared_ptr<Sleeper> sleeper,
                            CloudAccountChangeNotifier* accountNotifications, QObject* parent = nullptr);
    ~MacCloudSyncCoordinator() override;

    bool enabled() const override { return m_enabled; }
    const std::optional<Date>& lastUploadAt() const { return m_lastUploadAt; }
    const std::optional<Date>& nextUploadAt() const { return m_nextUploadAt; }
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    bool requiresReauthorization() const { return m_requiresReauthorization; }
    bool isDeleting() const { return m_isDeleting; }
    bool isUploading() const { return m_isUploading; }
    bool isCheckingAccount() const { return m_isCheckingAccount; }
    const QString& statusText() const { return m_statusText; }
    bool isBusy() const { return m_isCheckingAccount || m_isUploading || m_isDeleting; }
    bool canUpload() const { return m_enabled && m_accountVerified && m_latestSnapshot && !isBusy(); }
    const std::optional<QString>& accountID() const { return m_accountID; }
    // Replaced by every switch, reset, delete and termination; a confirmation dialog copies it.
    const QUuid& session() const { return m_session; }
    const QUuid& hostID() const { return m_hostID; }

    // Follows `source`'s snapshots (its current one at once) and keeps its snapshot rebuild
    // running while sync is on. A source of another host is ignored.
    void observe(MacSyncCoordinator& source);
    void receiveSnapshot(const UsageSyncSnapshot& snapshot);
    void setEnabled(bool on);
    // Uploads as soon as the retry time allows, even when nothing new arrived.
    void uploadNow();
    // Switches sync off and replaces the cloud copy by a tombstone. A `confirmationID` other
    // than the current session means the state changed while the user was asked: nothing happens.
    void deleteCloudData(bool confirmed, const std::optional<QUuid>& confirmationID = std::nullopt);
    void resumeAfterWake() override;

signals:
    void changed();

private:
    class ChangeScope;
    friend class ChangeScope;
    struct Published;

    Published published() const;
    void scheduleWork();
    void checkAccount();
    void startUpload();
    void finishAccountCheck(const QString& identifier);
    void finishUpload(std::uint64_t revision);
    void finishDelete();
    void handleFailure(std::exception_ptr error, bool deleting);
    void requireReauthorization(const CloudSyncError& error);
    void handleAccountChange();
    void handleTermination();
    void invalidateSession();
    void finishOperation();
    void clearPublicationState();
    void storeEnabled(bool enabled);
    void setSourceMaintenance(bool on);
    // The stored times as they may be used now: a retry time more than a day ahead counts as a
    // day from now, an attempt in the future (the clock went back) as now.
    std::optional<Date> boundedRetryNotBefore() const;
    std::optional<Date> boundedLastAttemptAt() const;

    static QCoro::Task<> runAccountCheck(QPointer<MacCloudSyncCoordinator> self, std::shared_ptr<CloudSnapshotStoring> store,
                                         QUuid session, CancelToken token);
    // Whether a task of `session` may still report: not cancelled, its owner alive and the
    // session not replaced.
    static bool isCurrent(const QPointer<MacCloudSyncCoordinator>& self, QUuid session, const CancelToken& token);
    // What a store operation bracketed by account checks came to: `current` is false when the
    // session or token went stale meanwhile, and then nothing may be reported.
    struct AccountScopedOutcome
    {
        bool current = false;
        std::exception_ptr error;
    };
    // Runs `operation` between two checks that the signed-in account is still `accountID`, so a
    // sign-in change on either side of it fails as accountChanged. An upload turned off meanwhile
    // skips the second check (`recheckOnlyWhileEnabled`).
    static QCoro::Task<AccountScopedOutcome> runForAccount(QPointer<MacCloudSyncCoordinator> self,
                                                           std::shared_ptr<CloudSnapshotStoring> store, QUuid session,
                                                           QString accountID, CancelToken token,
                                                           std::function<QCoro::Task<>()> operation,
                                                           bool recheckOnlyWhileEnabled);
    static QCoro::Task<> runUpload(QPointer<MacCloudSyncCoordinator> self, std::shared_ptr<CloudSnapshotStoring> store,
                                   QUuid session, QString accountID, UsageSyncSnapshot snapshot, CancelToken token);
    static QCoro::Task<> runDelete(QPointer<MacCloudSyncCoordinator> self, std::shared_ptr<CloudSnapshotStoring> store,
                                   QUuid session, QUuid hostID, QString accountID, CancelToken token);
    static QCoro::Task<> runWait(QPointer<MacCloudSyncCoordinator> self, std::shared_ptr<Sleeper> sleeper,
                                 QUuid session, double seconds, CancelToken token);

    bool m_enabled = false;
    std::optional<Date> m_lastUploadAt;
    std::optional<Date> m_nextUploadAt;
    std::optional<QString> m_errorMessage;
    bool m_requiresReauthorization = false;
    bool m_isDeleting = false;
    bool m_isUploading = false;
    bool m_isCheckingAccount = false;
    QString m_statusText;

    QUuid m_hostID;
    std::shared_ptr<CloudSnapshotStoring> m_store;
    std::shared_ptr<SettingsStore> m_defaults;
    Clock m_now;
    std::shared_ptr<Sleeper> m_sleeper;

    QUuid m_session;
    std::optional<QString> m_accountID;
    std::optional<QString> m_authorizationExpectedAccountID;
    bool m_accountVerified = false;
    bool m_automaticUploadBlocked = false;
    bool m_manualUploadPending = false;
    std::optional<std::uint64_t> m_uploadedRevision;
    std::optional<Date> m_lastAttemptAt;
    std::optional<Date> m_retryNotBefore;
    std::optional<UsageSyncSnapshot> m_latestSnapshot;
    TaskHandle m_operationTask;
    TaskHandle m_scheduledTask;
    QPointer<MacSyncCoordinator> m_source;
    QMetaObject::Connection m_snapshotObservation;
    int m_changeDepth = 0;
    std::unique_ptr<Published> m_before;
};

} // namespace vantorel
