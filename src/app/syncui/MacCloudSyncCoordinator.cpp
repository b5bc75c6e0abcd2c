#include "app/syncui/MacCloudSyncCoordinator.h"

#include "app/syncui/MacSyncCoordinator.h"
#include "core/foundation/CancellationError.h"
#include "core/foundation/PendingCompletion.h"
#include "core/foundation/SettingsStore.h"
#include "core/foundation/Sleeper.h"
#include "sync/cloud/CloudAccountChangeNotifier.h"
#include "sync/cloud/CloudSnapshotStoring.h"
#include "sync/cloud/CloudSyncError.h"
#include "sync/model/UsageSyncError.h"

#include <QCoreApplication>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace vantorel {

// The coroutine frames below hold it: GCC rejects a type of an anonymous namespace there when
// this file is part of a unity batch.
namespace cloudSyncCoordinatorDetail {

// Suspends once, so that the caller has stored the task's handle before its body runs.
struct NextTurn
{
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) const
    {
        detail::resumeLater(detail::resumeTargetForCurrentThread(handle));
    }
    void await_resume() const noexcept {}
};

} // namespace cloudSyncCoordinatorDetail

using cloudSyncCoordinatorDetail::NextTurn;

namespace {

QString text(const char16_t* literal)
{
    return QString::fromUtf16(literal);
}

// The feature keeps its name; what happens to the data names the folder it really goes to.
const char16_t* const cloudOffText = u"iCloud同期OFF";
QString waitingForDataText()
{
    return text(u"このPCの表示データを待っています");
}

QString uploadedText()
{
    return text(u"同期フォルダに保存済み");
}

QString deleteFailedText()
{
    return text(u"同期フォルダのデータを削除できませんでした");
}

// What the store's failures mean for this PC's own sync folder. The store's own texts speak of
// an Apple Account and a Mac, as the phone side has them; here the folder and its users are named.
QString desktopMessage(const CloudSyncError& error)
{
    using Code = CloudSyncError::Code;
    switch (error.code()) {
    case Code::retryLater:
        return QStringLiteral("同期フォルダを別のプロセスが使用中です。しばらくしてから自動で再試行します。");
    case Code::notSignedIn:
        return QStringLiteral("同期フォルダが見つかりません。iCloud同期をもう一度ONにしてください。");
    case Code::restricted:
        return QStringLiteral("同期フォルダに書き込めません。フォルダの権限を確認してください。");
    case Code::accountChanged:
        return QStringLiteral("同期フォルダが別のものに置き換わりました。iCloud同期をもう一度ONにしてください。");
    case Code::anotherMac:
        return QStringLiteral("同期フォルダには、別のPCまたは別のユーザーが保存した同期データがあります。このPCから送るには、先に削除してください。");
    case Code::quotaExceeded:
        return QStringLiteral("ディスクの空き容量が足りないため、同期フォルダに保存できません。");
    default:
        break;
    }
    return error.message();
}

// Digits only, fitting 64 bits; anything else counts as no revision.
std::optional<std::uint64_t> parseRevision(const std::optional<QString>& stored)
{
    if (!stored || stored->isEmpty()
        || !std::all_of(stored->begin(), stored->end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    const QByteArray latin = stored->toLatin1();
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(latin.constData(), latin.constData() + latin.size(), value);
    if (error != std::errc() || end != latin.constData() + latin.size())
        return std::nullopt;
    return value;
}

bool isSnapshotDataError(const std::exception_ptr& error, std::optional<UsageSyncError>& found)
{
    try {
        std::rethrow_exception(error);
    } catch (const UsageSyncError& failure) {
        using Code = UsageSyncError::Code;
        const Code code = failure.code();
        if (code == Code::olderSnapshot || code == Code::wrongHost || code == Code::invalidData
            || code == Code::unsupportedVersion) {
            found = failure;
            return true;
        }
    } catch (...) {
    }
    return false;
}

CloudSyncError asCloudSyncError(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const CloudSyncError& failure) {
        return failure;
    } catch (...) {
        return CloudSyncError(CloudSyncError::Code::unavailable);
    }
}

} // namespace

// What views see; changed() fires when it differs after an operation.
struct MacCloudSyncCoordinator::Published
{
    bool enabled;
    std::optional<Date> lastUploadAt;
    std::optional<Date> nextUploadAt;
    std::optional<QString> errorMessage;
    bool requiresReauthorization;
    bool isDeleting;
    bool isUploading;
    bool isCheckingAccount;
    QString statusText;
    bool canUpload;
    std::optional<QString> accountID;
    QUuid session;

    bool operator==(const Published&) const = default;
};

// Compares the published state around the outermost operation and announces what changed.
class MacCloudSyncCoordinator::ChangeScope
{
public:
    explicit ChangeScope(MacCloudSyncCoordinator& owner)
        : m_owner(&owner)
    {
        if (owner.m_changeDepth++ == 0)
            owner.m_before = std::make_unique<Published>(owner.published());
    }
    ~ChangeScope()
    {
        if (!m_owner || --m_owner->m_changeDepth > 0)
            return;
        const std::unique_ptr<Published> before = std::move(m_owner->m_before);
        const Published after = m_owner->published();
        if (!before || *before == after)
            return;
        const QPointer<MacCloudSyncCoordinator> owner = m_owner;
        if (before->enabled != after.enabled)
            emit owner->enabledChanged(after.enabled);
        if (owner)
            emit owner->changed();
    }
    ChangeScope(const ChangeScope&) = delete;
    ChangeScope& operator=(const ChangeScope&) = delete;

private:
    QPointer<MacCloudSyncCoordinator> m_owner;
};

MacCloudSyncCoordinator::MacCloudSyncCoordinator(QUuid hostID, std::shared_ptr<CloudSnapshotStoring> store,
                                                 std::shared_ptr<SettingsStore> defaults, Clock now,
                                                 std::shared_ptr<Sleeper> sleeper,
                                                 CloudAccountChangeNotifier* accountNotifications, QObject* parent)
    : CloudSyncSwitch(parent)
    , m_statusText(text(cloudOffText))
    , m_hostID(hostID)
    , m_store(std::move(store))
    , m_defaults(std::move(defaults))
    , m_now(std::move(now))
    , m_sleeper(std::move(sleeper))
    , m_session(QUuid::createUuid())
{
    const std::optional<QString> account = m_defaults->stringValue(accountIDKey());
    if (account && !account->isEmpty())
        m_accountID = account;
    if (m_accountID) {
        m_lastUploadAt = m_defaults->dateValue(lastUploadAtKey());
        m_uploadedRevision = parseRevision(m_defaults->stringValue(uploadedRevisionKey()));
        m_lastAttemptAt = m_defaults->dateValue(lastAttemptAtKey());
        m_retryNotBefore = m_defaults->dateValue(retryNotBeforeKey());
        m_lastAttemptAt = boundedLastAttemptAt();
        m_retryNotBefore = boundedRetryNotBefore();
    }
    m_enabled = m_defaults->boolValue(enabledKey()).value_or(false) && m_accountID;
    m_defaults->set(enabledKey(), m_enabled);
    if (accountNotifications)
        connect(accountNotifications, &CloudAccountChangeNotifier::accountChanged, this,
                &MacCloudSyncCoordinator::handleAccountChange);
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &MacCloudSyncCoordinator::handleTermination);
    if (m_enabled) {
        // Shown again only once the account is confirmed to be the same.
        m_lastUploadAt.reset();
        m_authorizationExpectedAccountID = m_accountID;
        scheduleWork();
    }
}

MacCloudSyncCoordinator::~MacCloudSyncCoordinator() = default;

MacCloudSyncCoordinator::Published MacCloudSyncCoordinator::published() const
{
    return {m_enabled,     m_lastUploadAt, m_nextUploadAt, m_errorMessage, m_requiresReauthorization,
            m_isDeleting,  m_isUploading,  m_isCheckingAccount, m_statusText, canUpload(),
            m_accountID,   m_session};
}

std::optional<Date> MacCloudSyncCoordinator::boundedRetryNotBefore() const
{
    if (!m_retryNotBefore)
        return std::nullopt;
    const Date latest = m_now() + maximumWaitSeconds;
    // NaN compares false and is treated like "too far ahead".
    return *m_retryNotBefore <= latest ? *m_retryNotBefore : latest;
}

std::optional<Date> MacCloudSyncCoordinator::boundedLastAttemptAt() const
{
    if (!m_lastAttemptAt)
        return std::nullopt;
    const Date current = m_now();
    return *m_lastAttemptAt <= current ? *m_lastAttemptAt : current;
}

void MacCloudSyncCoordinator::observe(MacSyncCoordinator& source)
{
    if (source.hostID() != m_hostID || m_source == &source)
        return;
    ChangeScope scope(*this);
    setSourceMaintenance(false);
    QObject::disconnect(m_snapshotObservation);
    m_source = &source;
    if (source.displayMaintenanceEnabled() != m_enabled) {
        source.setDisplayMaintenanceEnabled(m_enabled);
        if (m_enabled)
            source.maintain(source.now());
        source.updateMaintenanceTask();
    }
    m_snapshotObservation = connect(&source, &MacSyncCoordinator::latestSnapshotChanged, this,
                                    &MacCloudSyncCoordinator::receiveSnapshot);
    // The source's current snapshot counts as received, or nothing is uploaded until it changes.
    if (source.latestSnapshot())
        receiveSnapshot(*source.latestSnapshot());
}

void MacCloudSyncCoordinator::setSourceMaintenance(bool on)
{
    if (!m_source || m_source->displayMaintenanceEnabled() == on)
        return;
    m_source->setDisplayMaintenanceEnabled(on);
    if (on)
        m_source->maintain(m_source->now());
    if (m_source)
        m_source->updateMaintenanceTask();
}

void MacCloudSyncCoordinator::receiveSnapshot(const UsageSyncSnapshot& snapshot)
{
    ChangeScope scope(*this);
    try {
        // The snapshot kept was validated for this host too.
        snapshot.validate(m_hostID);
        snapshot.checkFollows(m_latestSnapshot);
    } catch (...) {
        if (m_enabled)
            m_errorMessage = text(u"同期データを確認できませんでした。このPCの表示を確認してください。");
        return;
    }
    if (m_latestSnapshot && *m_latestSnapshot == snapshot)
        return;
    m_latestSnapshot = snapshot;
    scheduleWork();
}

void MacCloudSyncCoordinator::storeEnabled(bool enabled)
{
    m_enabled = enabled;
    m_defaults->set(enabledKey(), enabled);
    // The switch turned, by the user or for them, is on disk at once.
    m_defaults->writeNow();
}

void MacCloudSyncCoordinator::setEnabled(bool on)
{
    ChangeScope scope(*this);
    if (!on) {
        invalidateSession();
        storeEnabled(false);
        m_accountVerified = false;
        setSourceMaintenance(false);
        m_errorMessage.reset();
        m_statusText = text(cloudOffText);
        return;
    }
    if (m_enabled || m_isDeleting)
        return;
    invalidateSession();
    storeEnabled(true);
    m_authorizationExpectedAccountID.reset();
    m_accountVerified = false;
    m_automaticUploadBlocked = false;
    m_requiresReauthorization = false;
    m_errorMessage.reset();
    setSourceMaintenance(true);
    scheduleWork();
}

void MacCloudSyncCoordinator::uploadNow()
{
    if (!m_enabled || isBusy())
        return;
    ChangeScope scope(*this);
    m_automaticUploadBlocked = false;
    if (!m_manualUploadPending) {
        m_manualUploadPending = true;
        m_scheduledTask = TaskHandle();
        m_nextUploadAt.reset();
    }
    scheduleWork();
}

void MacCloudSyncCoordinator::scheduleWork()
{
    if (!m_enabled || m_operationTask.isRunning() || m_scheduledTask.isRunning() || m_automaticUploadBlocked)
        return;
    if (m_accountVerified) {
        if (!m_latestSnapshot) {
            m_statusText = waitingForDataText();
            return;
        }
        if (!m_manualUploadPending && m_uploadedRevision && *m_uploadedRevision >= m_latestSnapshot->revision)
            return;
    }
    const Date current = m_now();
    Date due = boundedRetryNotBefore().value_or(current);
    if (m_accountVerified && !m_manualUploadPending) {
        if (const std::optional<Date> attempt = boundedLastAttemptAt())
            due = std::max(due, *attempt + minimumUploadSpacingSeconds);
    }
    if (due > current) {
        m_nextUploadAt = due;
        m_statusText = m_errorMessage ? text(u"同期フォルダへの再試行待ち") : text(u"最新データの送信待ち");
        const double seconds = std::min(due - current, maximumWaitSeconds);
        m_scheduledTask = TaskHandle::start([this, seconds](CancelToken token) {
            return runWait(QPointer<MacCloudSyncCoordinator>(this), m_sleeper, m_session, seconds, token);
        });
        return;
    }
    m_nextUploadAt.reset();
    if (!m_accountVerified)
        checkAccount();
    else
        startUpload();
}

QCoro::Task<> MacCloudSyncCoordinator::runWait(QPointer<MacCloudSyncCoordinator> self, std::shared_ptr<Sleeper> sleeper,
                                               QUuid session, double seconds, CancelToken token)
{
    bool failed = false;
    try {
        co_await sleeper->sleep(seconds, token);
    } catch (...) {
        failed = true;
    }
    if (token.isCancelled() || !self || self->m_session != session)
        co_return;
    ChangeScope scope(*self);
    self->m_scheduledTask = TaskHandle();
    // A wait longer than one step ends here too; scheduleWork waits again for the rest.
    if (!failed && self->m_enabled)
        self->scheduleWork();
}

void MacCloudSyncCoordinator::checkAccount()
{
    m_isCheckingAccount = true;
    m_statusText = text(u"同期フォルダを確認しています");
    m_operationTask = TaskHandle::start([this](CancelToken token) {
        return runAccountCheck(QPointer<MacCloudSyncCoordinator>(this), m_store, m_session, token);
    });
}

bool MacCloudSyncCoordinator::isCurrent(const QPointer<MacCloudSyncCoordinator>& self, QUuid session,
                                        const CancelToken& token)
{
    return !token.isCancelled() && self && self->m_session == session;
}

QCoro::Task<> MacCloudSyncCoordinator::runAccountCheck(QPointer<MacCloudSyncCoordinator> self,
                                                       std::shared_ptr<CloudSnapshotStoring> store, QUuid session,
                                                       CancelToken token)
{
    QString identifier;
    std::exception_ptr error;
    try {
        co_await NextTurn{};
        if (!isCurrent(self, session, token))
            co_return;
        identifier = co_await store->accountIdentifier(token);
    } catch (...) {
        error = std::current_exception();
    }
    if (!isCurrent(self, session, token))
        co_return;
    ChangeScope scope(*self);
    if (!error && !self->m_enabled)
        co_return;
    if (!error && identifier.isEmpty())
        error = std::make_exception_ptr(CloudSyncError(CloudSyncError::Code::notSignedIn));
    if (!error && self->m_authorizationExpectedAccountID && *self->m_authorizationExpectedAccountID != identifier)
        error = std::make_exception_ptr(CloudSyncError(CloudSyncError::Code::accountChanged));
    if (error) {
        self->finishOperation();
        self->handleFailure(error, false);
        co_return;
    }
    self->finishAccountCheck(identifier);
}

void MacCloudSyncCoordinator::finishAccountCheck(const QString& identifier)
{
    if (m_accountID == identifier)
        m_lastUploadAt = m_defaults->dateValue(lastUploadAtKey());
    else
        clearPublicationState();
    m_accountID = identifier;
    m_authorizationExpectedAccountID = identifier;
    m_defaults->set(accountIDKey(), identifier);
    m_accountVerified = true;
    m_errorMessage.reset();
    finishOperation();
    m_statusText = m_lastUploadAt ? uploadedText() : waitingForDataText();
    scheduleWork();
}

void MacCloudSyncCoordinator::startUpload()
{
    if (!m_latestSnapshot || !m_accountID)
        return;
    m_lastAttemptAt = m_now();
    m_defaults->set(lastAttemptAtKey(), *m_lastAttemptAt);
    m_isUploading = true;
    m_statusText = text(u"同期フォルダに保存しています");
    m_operationTask = TaskHandle::start([this](CancelToken token) {
        return runUpload(QPointer<MacCloudSyncCoordinator>(this), m_store, m_session, *m_accountID, *m_latestSnapshot,
                         token);
    });
}

QCoro::Task<MacCloudSyncCoordinator::AccountScopedOutcome>
MacCloudSyncCoordinator::runForAccount(QPointer<MacCloudSyncCoordinator> self, std::shared_ptr<CloudSnapshotStoring> store,
                                       QUuid session, QString accountID, CancelToken token,
                                       std::function<QCoro::Task<>()> operation, bool recheckOnlyWhileEnabled)
{
    const CloudSyncError accountChanged(CloudSyncError::Code::accountChanged);
    AccountScopedOutcome outcome;
    try {
        co_await NextTurn{};
        if (!isCurrent(self, session, token))
            co_return outcome;
        if (co_await store->accountIdentifier(token) != accountID)
            throw accountChanged;
        if (!isCurrent(self, session, token))
            co_return outcome;
        co_await operation();
        if (!isCurrent(self, session, token))
            co_return outcome;
        const QString after = co_await store->accountIdentifier(token);
        if (isCurrent(self, session, token) && (!recheckOnlyWhileEnabled || self->m_enabled) && after != accountID)
            throw accountChanged;
    } catch (...) {
        outcome.error = std::current_exception();
    }
    outcome.current = isCurrent(self, session, token);
    co_return outcome;
}

QCoro::Task<> MacCloudSyncCoordinator::runUpload(QPointer<MacCloudSyncCoordinator> self,
                                                 std::shared_ptr<CloudSnapshotStoring> store, QUuid session,
                                                 QString accountID, UsageSyncSnapshot snapshot, CancelToken token)
{
    // Named first: g++ 12 destroys a lambda passed straight into a coroutine parameter twice.
    std::function<QCoro::Task<>()> save = [store, snapshot, accountID, token] {
        return store->saveSnapshot(snapshot, accountID, token);
    };
    const AccountScopedOutcome outcome = co_await runForAccount(self, store, session, accountID, token, save, true);
    if (!outcome.current)
        co_return;
    ChangeScope scope(*self);
    if (outcome.error) {
        self->finishOperation();
        self->handleFailure(outcome.error, false);
    } else if (self->m_enabled) {
        self->finishUpload(snapshot.revision);
    }
}

void MacCloudSyncCoordinator::finishUpload(std::uint64_t revision)
{
    finishOperation();
    m_manualUploadPending = false;
    m_uploadedRevision = revision;
    m_lastUploadAt = m_now();
    m_defaults->set(uploadedRevisionKey(), QString::number(revision));
    m_defaults->set(lastUploadAtKey(), *m_lastUploadAt);
    m_retryNotBefore.reset();
    m_defaults->remove(retryNotBeforeKey());
    m_errorMessage.reset();
    m_statusText = uploadedText();
    scheduleWork();
}

void MacCloudSyncCoordinator::handleFailure(std::exception_ptr error, bool deleting)
{
    std::optional<UsageSyncError> dataError;
    if (isSnapshotDataError(error, dataError)) {
        m_errorMessage = dataError->message();
        m_statusText = deleting ? deleteFailedText() : text(u"同期フォルダのデータを確認してください");
        m_automaticUploadBlocked = true;
        m_nextUploadAt.reset();
        return;
    }
    const CloudSyncError failure = asCloudSyncError(error);
    using Code = CloudSyncError::Code;
    if (failure.code() == Code::notSignedIn || failure.code() == Code::accountChanged) {
        requireReauthorization(failure);
        return;
    }
    m_errorMessage = desktopMessage(failure);
    m_statusText = deleting ? deleteFailedText() : text(u"同期フォルダに保存できませんでした");
    double wait = 0;
    if (failure.code() == Code::retryLater)
        wait = std::max(failure.retryAfterSeconds().value_or(0.0), minimumUploadSpacingSeconds);
    else if (failure.code() == Code::unavailable)
        wait = minimumUploadSpacingSeconds;
    else {
        if (!deleting) {
            m_automaticUploadBlocked = true;
            scheduleWork();
        }
        return;
    }
    // Capped at a day: an absurd retry-after or a clock running ahead must not stop uploads
    // and deletes for years.
    m_retryNotBefore = m_now() + std::min(wait, maximumWaitSeconds);
    m_defaults->set(retryNotBeforeKey(), *m_retryNotBefore);
    if (deleting)
        return;
    m_automaticUploadBlocked = false;
    scheduleWork();
}

void MacCloudSyncCoordinator::requireReauthorization(const CloudSyncError& error)
{
    invalidateSession();
    storeEnabled(false);
    m_accountVerified = false;
    m_accountID.reset();
    m_defaults->remove(accountIDKey());
    clearPublicationState();
    setSourceMaintenance(false);
    m_requiresReauthorization = true;
    m_errorMessage = desktopMessage(error);
    m_statusText = text(u"同期フォルダの再確認が必要です");
}

void MacCloudSyncCoordinator::handleAccountChange()
{
    if (!m_enabled && !m_isDeleting && !m_accountID)
        return;
    ChangeScope scope(*this);
    requireReauthorization(CloudSyncError(CloudSyncError::Code::accountChanged));
}

void MacCloudSyncCoordinator::handleTermination()
{
    ChangeScope scope(*this);
    invalidateSession();
    setSourceMaintenance(false);
}

void MacCloudSyncCoordinator::deleteCloudData(bool confirmed, const std::optional<QUuid>& confirmationID)
{
    if (!confirmed || m_isDeleting || !m_accountID)
        return;
    if (confirmationID && *confirmationID != m_session)
        return;
    ChangeScope scope(*this);
    setEnabled(false);
    if (const std::optional<Date> retry = boundedRetryNotBefore(); retry && *retry > m_now()) {
        m_errorMessage = text(u"iCloudの待機時間が終わってから、削除を再試行してください。");
        return;
    }
    m_isDeleting = true;
    m_statusText = text(u"同期フォルダのデータを削除しています");
    m_operationTask = TaskHandle::start([this](CancelToken token) {
        return runDelete(QPointer<MacCloudSyncCoordinator>(this), m_store, m_session, m_hostID, *m_accountID, token);
    });
}

QCoro::Task<> MacCloudSyncCoordinator::runDelete(QPointer<MacCloudSyncCoordinator> self,
                                                 std::shared_ptr<CloudSnapshotStoring> store, QUuid session,
                                                 QUuid hostID, QString accountID, CancelToken token)
{
    std::function<QCoro::Task<>()> remove = [store, hostID, accountID, token] {
        return store->deleteSnapshot(hostID, accountID, token);
    };
    const AccountScopedOutcome outcome = co_await runForAccount(self, store, session, accountID, token, remove, false);
    if (!outcome.current)
        co_return;
    ChangeScope scope(*self);
    if (outcome.error) {
        self->finishOperation();
        self->handleFailure(outcome.error, true);
    } else {
        self->finishDelete();
    }
}

void MacCloudSyncCoordinator::finishDelete()
{
    finishOperation();
    clearPublicationState();
    m_statusText = text(u"同期フォルダのデータを削除しました");
    m_errorMessage.reset();
}

void MacCloudSyncCoordinator::resumeAfterWake()
{
    if (!m_enabled)
        return;
    ChangeScope scope(*this);
    m_scheduledTask = TaskHandle();
    m_nextUploadAt.reset();
    scheduleWork();
}

void MacCloudSyncCoordinator::invalidateSession()
{
    const bool mayBeInFlight = m_enabled || m_operationTask.isRunning() || m_scheduledTask.isRunning();
    m_session = QUuid::createUuid();
    m_manualUploadPending = false;
    m_operationTask = TaskHandle();
    m_scheduledTask = TaskHandle();
    finishOperation();
    m_nextUploadAt.reset();
    if (mayBeInFlight)
        m_store->cancel();
}

void MacCloudSyncCoordinator::finishOperation()
{
    m_operationTask = TaskHandle();
    m_isCheckingAccount = false;
    m_isUploading = false;
    m_isDeleting = false;
}

void MacCloudSyncCoordinator::clearPublicationState()
{
    m_lastUploadAt.reset();
    m_uploadedRevision.reset();
    m_lastAttemptAt.reset();
    m_retryNotBefore.reset();
    for (const QString& key : {lastUploadAtKey(), uploadedRevisionKey(), lastAttemptAtKey(), retryNotBeforeKey()})
        m_defaults->remove(key);
}

} // namespace vantorel
