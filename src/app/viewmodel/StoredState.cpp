#include "app/viewmodel/StoredState.h"

#include "app/platform/KeychainStore.h"
#include "app/platform/NotificationManager.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/AsyncKeychain.h"
#include "app/viewmodel/DiscordOutboxWorker.h"
#include "app/viewmodel/StorageFailureText.h"
#include "app/viewmodel/StoredHistories.h"
#include "core/foundation/AppDiagnostics.h"
#include "core/foundation/JsonFileSettingsStore.h"
#include "core/foundation/ThreadPriority.h"
#include "core/model/HistoryRetention.h"
#include "core/model/ModelCoding.h"
#include "core/rules/BankedResetExpiryDetector.h"
#include "core/rules/DiscordNotificationOutbox.h"
#include "core/rules/DiscordWebhookService.h"
#include "core/rules/DiscordWebhookURLCache.h"
#include "sync/onboarding/OnboardingProgressStore.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantorel {

// Types that the coroutine frames below hold need a name with linkage: GCC rejects anonymous ones
// there when this file is part of a unity batch.
namespace storedStateDetail {

// What the keychain holds, as far as the settings show it.
struct SavedSecrets
{
    bool serviceAvailable = true;
    bool apiKeySaved = false;
    bool webhookSaved = false;
    SecureValueReadResult webhook;
};

} // namespace storedStateDetail

namespace {

// Runs on the keychain's worker.
storedStateDetail::SavedSecrets readSavedSecrets(const KeychainStore* store)
{
    storedStateDetail::SavedSecrets found;
    // Without a secret service every further call would only fail, or wait out its time-out.
    if (store && !store->serviceAvailable()) {
        found.serviceAvailable = false;
        found.webhook = SecureValueReadResult::temporarilyUnavailable();
    } else if (store) {
        found.apiKeySaved = store->contains(KeychainStore::openAIAPIKeyService);
        found.webhookSaved = store->contains(KeychainStore::discordWebhookURLService);
        found.webhook = store->readResult(KeychainStore::discordWebhookURLService);
    }
    return found;
}

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// The stored state whose view model hears the log's failures (GUI thread only).
const StoredState* logFailureWatcher = nullptr;

// A stored map from key to date; one value that is not a number fails the whole map.
std::optional<QMap<QString, Date>> dateMapFromJson(const Json& value)
{
    if (!value.is_object()) {
        return std::nullopt;
    }
    QMap<QString, Date> dates;
    for (const auto& [key, element] : value.items()) {
        if (!element.is_number()) {
            return std::nullopt;
        }
        dates.insert(json::qstr(key), Date(element.get<double>()));
    }
    return dates;
}

std::optional<QList<BankedResetExpiryIdentity>> expiryIdentitiesFromJson(const Json& value)
{
    return listFromJson(value, &bankedResetExpiryIdentityFromJson);
}

// Creation time as a sort key; a NaN time sorts as the oldest so the order stays strict.
double sortTime(const NotificationHistoryEntry& entry)
{
    const double seconds = entry.createdAt.timeIntervalSinceReferenceDate();
    return std::isnan(seconds) ? -std::numeric_limits<double>::infinity() : seconds;
}

// A delivery that was in flight when the application ended has an unknown outcome.
void repairInterruptedDelivery(NotificationHistoryEntry& entry)
{
    if (!entry.delivery) {
        return;
    }
    if (entry.delivery->discord == NotificationDeliveryStatus::submitting) {
        entry.delivery->discord = NotificationDeliveryStatus::outcomeUnknown;
        entry.delivery->discordResultWasUnknown = true;
    }
    if (entry.delivery->local == NotificationDeliveryStatus::submitting) {
        entry.delivery->local = NotificationDeliveryStatus::notRecorded;
    }
}

} // namespace

StoredState::StoredState(AppViewModel& viewModel)
    : m_viewModel(viewModel)
    , m_usageHistoryText(std::make_shared<UsageHistoryText>())
{
    watchWriteFailures();
}

StoredState::~StoredState()
{
    defaults().setWriteFailureObserver({});
    // The log is one per process; a newer view model may have taken its observer over.
    if (logFailureWatcher == this) {
        AppDiagnostics::setWriteFailureObserver({});
        logFailureWatcher = nullptr;
    }
}

std::optional<QString> StoredState::storageFailureMessage(const QString& settingsFailure, const QString& logFailure,
                                                         const QString& settingsFolder, const QString& logFolder)
{
    if (!settingsFailure.isEmpty()) {
        return StorageFailureText::settings(settingsFailure, settingsFolder);
    }
    if (!logFailure.isEmpty()) {
        return StorageFailureText::log(logFailure, logFolder);
    }
    return std::nullopt;
}

void StoredState::watchWriteFailures()
{
    defaults().setWriteFailureObserver([this] { publishStorageFailure(); });
    // The log tells on its own thread; the view model hears it on its next turn.
    logFailureWatcher = this;
    AppDiagnostics::setWriteFailureObserver([viewModel = &m_viewModel] {
        QMetaObject::invokeMethod(
            viewModel, [viewModel] { viewModel->storedState().publishStorageFailure(); }, Qt::QueuedConnection);
    });
    publishStorageFailure();
}

void StoredState::publishStorageFailure()
{
    const QString settingsFailure = defaults().writeFailure();
    const QString logFailure = AppDiagnostics::writeFailure();
    std::optional<QString> message;
    if (!settingsFailure.isEmpty() || !logFailure.isEmpty()) {
        // Only the file-backed store can fail; any other names the default place.
        const auto* file = dynamic_cast<const JsonFileSettingsStore*>(&defaults());
        const QString settingsFile = file ? file->filePath() : JsonFileSettingsStore::defaultFilePath();
        message = storageFailureMessage(settingsFailure, logFailure, QFileInfo(settingsFile).absolutePath(),
                                        QFileInfo(AppDiagnostics::logFilePath()).absolutePath());
    }
    if (message != m_viewModel.state().storageFailureMessage) {
        m_viewModel.publishedState().storageFailureMessage = std::move(message);
    }
}

SettingsStore& StoredState::defaults() const
{
    return m_viewModel.defaults();
}

std::optional<Json> StoredState::storedJson(const QString& key) const
{
    const auto bytes = defaults().dataValue(key);
    if (!bytes) {
        return std::nullopt;
    }
    return json::parse(*bytes);
}

void StoredState::setJson(const Json& document, const QString& key)
{
    try {
        defaults().set(key, json::write(document, json::Form::store));
    } catch (const JsonEncodeError&) {
        // The previous value stays.
    }
}

void StoredState::load(bool usageHistoryLater)
{
    AppState& state = m_viewModel.mutableState();
    state.onboardingProgress = m_viewModel.onboardingStore().load();
    state.initialSetupProgress = m_viewModel.initialSetupStore().load();
    state.codexPeriodsUnconfirmed = defaults().boolValue(Keys::codexPeriodsUnconfirmed).value_or(false);
    state.discordServerRetryNotBefore = defaults().dateValue(Keys::discordServerRetryNotBefore);
    state.discordWebhookNeedsAttention = defaults().boolValue(Keys::discordWebhookNeedsAttention).value_or(false);
    loadLedgers();
    loadOutboxAndExpiries();
    loadHistories(usageHistoryLater);
    loadSettings();
    loadReadings();
    if (DiscordOutboxWorker::capServerHolds(state, m_viewModel.notificationNow()) && state.discordServerRetryNotBefore) {
        defaults().set(Keys::discordServerRetryNotBefore, *state.discordServerRetryNotBefore);
    }
    setJson(toJsonArray(state.notifiedBankedResetExpiries), Keys::notifiedBankedResetExpiries);
    recordDroppedOutboxItems();
    persistPendingDiscordResetNotifications();
    persistNotificationHistory();
    checkCodexPeriods();
    m_loaded = true;
}

void StoredState::loadLedgers()
{
    AppState& state = m_viewModel.mutableState();
    auto keyList = [this](const QString& key) {
        QStringList keys = defaults().stringListValue(key).value_or(QStringList());
        keys.removeDuplicates();
        return keys;
    };
    state.sentUsageNotifications = keyList(Keys::usageNotifications);
    state.sentDiscordUsageNotifications = keyList(Keys::discordUsageNotifications);
    state.sentResetNotificationKeys = BoundedEventLedger(defaults().stringListValue(Keys::resetNotifications).value_or(QStringList()),
                                                         AppState::resetNotificationLedgerCapacity);
    state.lastResetNotificationDates = codable(Keys::lastResetNotificationDates, &dateMapFromJson).value_or(QMap<QString, Date>());
}

void StoredState::loadOutboxAndExpiries()
{
    AppState& state = m_viewModel.mutableState();
    m_storedOutbox = codable(Keys::pendingDiscordResetNotifications, &pendingDiscordNotificationsFromJson)
                         .value_or(QList<PendingDiscordNotification>());
    const Date now = m_viewModel.notificationNow();
    state.pendingDiscordResetNotifications = DiscordNotificationOutbox::pruned(m_storedOutbox, now);

    state.usageResetBaselines = codable(Keys::usageResetBaselines, &usageResetBaselinesFromJson)
                                    .value_or(QMap<QString, UsageResetBaseline>());
    state.lastObservedBankedReset = codable(Keys::lastObservedBankedReset, &bankedResetSummaryFromJson);

    // Expiry warnings still queued count as handled, so a lost ledger write never sends one twice.
    QList<BankedResetExpiryIdentity> queued;
    for (const PendingDiscordNotification& item : state.pendingDiscordResetNotifications) {
        if (item.bankedResetExpiry) {
            queued.append(*item.bankedResetExpiry);
        }
    }
    const auto stored = codable(Keys::notifiedBankedResetExpiries, &expiryIdentitiesFromJson)
                            .value_or(QList<BankedResetExpiryIdentity>());
    state.notifiedBankedResetExpiries = BankedResetExpiryDetector::recording(queued, stored, now);
}

void StoredState::loadHistories(bool usageHistoryLater)
{
    AppState& state = m_viewModel.mutableState();
    auto history = StoredHistories::decodeNotifications(defaults().dataValue(Keys::notificationHistory).value_or(QByteArray()));
    std::stable_sort(history.begin(), history.end(), [](const auto& a, const auto& b) { return sortTime(a) > sortTime(b); });
    if (history.size() > HistoryRetention::maximumNotificationEntries) {
        history.resize(HistoryRetention::maximumNotificationEntries);
    }
    for (NotificationHistoryEntry& entry : history) {
        repairInterruptedDelivery(entry);
    }
    state.notificationHistory = std::move(history);

    if (!usageHistoryLater) {
        adoptUsageHistory(StoredHistories::decodeUsage(defaults().dataValue(Keys::usageHistory).value_or(QByteArray()),
                                                       m_viewModel.notificationNow()));
        return;
    }
    m_usageHistoryPending = true;
    // From the next turn: the start-up makes the tray item first.
    QMetaObject::invokeMethod(
        &m_viewModel, [viewModel = &m_viewModel] { viewModel->storedState().startDecodingUsageHistory(); },
        Qt::QueuedConnection);
}

void StoredState::startDecodingUsageHistory()
{
    if (!m_usageHistoryPending || m_decodedUsageHistory.valid()) {
        return;
    }
    const QByteArray text = defaults().dataValue(Keys::usageHistory).value_or(QByteArray());
    const Date now = m_viewModel.notificationNow();
    m_decodedUsageHistory = std::async(std::launch::async, [text, now, viewModel = &m_viewModel] {
        lowerCurrentThreadPriority();
        auto samples = StoredHistories::decodeUsage(text, now);
        // The view model waits for this thread before it goes, so the call is either delivered
        // or dropped with it.
        QMetaObject::invokeMethod(
            viewModel, [viewModel] { viewModel->storedState().finishLoadingUsageHistory(); }, Qt::QueuedConnection);
        return samples;
    });
}

void StoredState::finishLoadingUsageHistory()
{
    if (!m_usageHistoryPending) {
        return;
    }
    if (!m_decodedUsageHistory.valid()) {
        startDecodingUsageHistory();
    }
    adoptUsageHistory(m_decodedUsageHistory.get());
}

void StoredState::adoptUsageHistory(QList<UsageHistoryEntry> decoded)
{
    m_usageHistoryPending = false;
    const QList<UsageHistoryEntry> takenMeanwhile = m_viewModel.state().usageHistory;
    decoded.append(takenMeanwhile);
    auto history = HistoryRetention::prunedUsage(std::move(decoded), m_viewModel.notificationNow());
    if (history != takenMeanwhile) {
        // Announced only once the view model is up: during its load nobody is listening yet.
        (m_loaded ? m_viewModel.publishedState() : m_viewModel.mutableState()).usageHistory = std::move(history);
    }
    // The stored text need not stay in memory beside the samples; the file keeps it as it is until
    // the next write, as it did before the samples were held this way.
    if (!takenMeanwhile.isEmpty()) {
        persistUsageHistory();
    } else if (!m_viewModel.state().usageHistory.isEmpty()) {
        storeUsageHistory(true);
    }
    // On a later turn: a waiter may reach what is bringing the history in right now.
    for (auto& [context, then] : std::exchange(m_usageHistoryWaiters, {})) {
        if (context) {
            QMetaObject::invokeMethod(context, std::move(then), Qt::QueuedConnection);
        }
    }
}

void StoredState::whenUsageHistoryLoaded(QObject* context, std::function<void()> then)
{
    if (!m_usageHistoryPending) {
        then();
        return;
    }
    m_usageHistoryWaiters.append({QPointer<QObject>(context), std::move(then)});
}

void StoredState::loadSettings()
{
    AppState& state = m_viewModel.mutableState();
    AppSettings settings = codable(Keys::settings, &appSettingsFromJson).value_or(AppSettings());
    if (!defaults().boolValue(Keys::defaultsApplied).value_or(false)) {
        settings.launchAtLogin = true;
        settings.menuDisplayMode = MenuDisplayMode::compactUsage;
        settings.codexCLIAutoRefreshEnabled = true;
        setCodable(settings, Keys::settings);
        defaults().set(Keys::defaultsApplied, true);
    }
    if (!settings.claudeEnabled) {
        defaults().remove(Keys::claudeAuthFailureEpisode);
    }
    state.settings = settings;
}

void StoredState::loadReadings()
{
    AppState& state = m_viewModel.mutableState();
    state.usageSnapshot = codable(Keys::usage, &usageSnapshotFromJson);
    state.claudeUsageSnapshot = codable(Keys::claudeUsage, &usageSnapshotFromJson);
    state.claudeFailedSnapshotDate = defaults().dateValue(Keys::claudeFailedSnapshotDate);
    state.apiRateSnapshot = codable(Keys::apiRate, &rateLimitSnapshotFromJson);
    const Date now = m_viewModel.now();
    state.statusSummary = CodexStatusSummary::initial(now);
    state.claudeStatusSummary = CodexStatusSummary::initial(now);
    state.apiKeyIsSaved = false;
    state.discordWebhookIsSaved = false;
    state.notificationAuthorizationState = state.settings.notificationsEnabled
        ? AppNotificationAuthorizationState::checking
        : AppNotificationAuthorizationState::disabled;
    const auto& claude = state.claudeUsageSnapshot;
    state.claudeAuthenticatedPlanType = claude && claude->source == UsageSource::claudeOAuth ? claude->planType : std::nullopt;
}

void StoredState::recordDroppedOutboxItems()
{
    const Date now = m_viewModel.notificationNow();
    const auto& kept = m_viewModel.state().pendingDiscordResetNotifications;
    const QList<PendingDiscordNotification> stored = std::exchange(m_storedOutbox, {});
    for (const PendingDiscordNotification& item : stored) {
        const bool isKept = std::any_of(kept.begin(), kept.end(), [&](const auto& other) { return other.isSameItem(item); });
        if (isKept) {
            continue;
        }
        // An item that would survive pruning on its own was only dropped for room.
        const auto reason = DiscordNotificationOutbox::pruned({item}, now).isEmpty()
            ? NotificationCancellationReason::retentionExpired
            : NotificationCancellationReason::capacityLimit;
        m_viewModel.updateDiscordEvidence(item, NotificationDeliveryStatus::cancelled, reason);
    }
}

void StoredState::checkCodexPeriods()
{
    const AppState& state = m_viewModel.state();
    bool legacy = state.usageSnapshot && !state.usageSnapshot->codexPeriodsAreConfirmed();
    if (!legacy) {
        for (auto it = state.usageResetBaselines.cbegin(); it != state.usageResetBaselines.cend(); ++it) {
            if (it.key().startsWith(QStringLiteral("Codex-")) && it.value().codexPeriodValidationVersion != 1) {
                legacy = true;
                break;
            }
        }
    }
    const bool needsConfirmation = m_viewModel.codexPeriodsNeedConfirmation();
    if (legacy) {
        m_viewModel.invalidateCodexPeriodComparisons(true);
    } else if (needsConfirmation) {
        m_viewModel.invalidateCodexPeriodComparisons(false);
    } else {
        m_viewModel.cancelUnconfirmedCodexPeriodNotifications(false);
    }
}

QCoro::Task<> StoredState::runStartUpTask(QPointer<AppViewModel> viewModel)
{
    if (!viewModel) {
        co_return;
    }
    // The desktop has no permission request: the state is the service's answer alone.
    if (const auto manager = viewModel->dependencies().notificationManager) {
        const auto state = co_await manager->authorizationState(viewModel->settings().notificationsEnabled);
        if (!viewModel) {
            co_return;
        }
        viewModel->publishedState().notificationAuthorizationState = state;
    }
    co_await viewModel->refreshKeychainSavedState();
    if (!viewModel) {
        co_return;
    }
    co_await viewModel->retryPendingDiscordNotificationsAfterCredentialRecovery(QStringLiteral("launch"));
    if (!viewModel) {
        co_return;
    }
    co_await viewModel->refreshScheduledItems();
    if (viewModel) {
        emit viewModel->startUpFinished();
    }
}

QCoro::Task<> StoredState::refreshKeychainSavedState(QPointer<AppViewModel> viewModel)
{
    if (!viewModel) {
        co_return;
    }
    const storedStateDetail::SavedSecrets answers =
        co_await viewModel->keychain().run<storedStateDetail::SavedSecrets>(&readSavedSecrets);
    if (!viewModel) {
        co_return;
    }
    viewModel->publishedState().secretStoreUnavailable = !answers.serviceAvailable;
    viewModel->publishedState().apiKeyIsSaved = answers.apiKeySaved;
    const auto resolution = viewModel->dependencies().discordWebhookURLCache->resolve(answers.webhook);
    switch (resolution.kind) {
    case DiscordWebhookURLResolution::Kind::missing: {
        viewModel->publishedState().discordWebhookIsSaved = false;
        AppSettings settings = viewModel->settings();
        if (!settings.discordMentionEveryone) {
            settings.discordMentionEveryone = false;
            settings.discordMentionMigratedFromLegacy = false;
        }
        viewModel->setSettings(settings);
        break;
    }
    case DiscordWebhookURLResolution::Kind::temporarilyUnavailable:
        viewModel->publishedState().discordWebhookIsSaved = answers.webhookSaved;
        break;
    case DiscordWebhookURLResolution::Kind::available: {
        viewModel->publishedState().discordWebhookIsSaved = true;
        AppSettings settings = viewModel->settings();
        if (!settings.discordMentionEveryone) {
            const bool mention = settings.discordResetNotificationsEnabled
                && DiscordWebhookService::isValidWebhookURL(resolution.url);
            settings.discordMentionEveryone = mention;
            settings.discordMentionMigratedFromLegacy = mention;
        }
        viewModel->setSettings(settings);
        break;
    }
    }
    viewModel->log(QStringLiteral("keychain.savedStateLoaded api=") + boolText(viewModel->apiKeyIsSaved())
                   + QStringLiteral(" discord=") + boolText(viewModel->discordWebhookIsSaved()));
}

template <typename T>
void StoredState::persistList(const QList<T>& records, EncodedRecordList<T>& form, const QString& key)
{
    if (records.isEmpty()) {
        defaults().remove(key);
        return;
    }
    try {
        defaults().set(key, form.encode(records));
    } catch (const JsonEncodeError&) {
        // The previous value stays.
    }
}

QByteArray StoredState::usageHistoryStoreText(const QList<UsageHistoryEntry>& history)
{
    // A sample's stored text is about 190 bytes.
    constexpr qsizetype expectedBytesPerSample = 200;
    QByteArray bytes;
    bytes.reserve(history.size() * expectedBytesPerSample + 2);
    bytes.append('[');
    for (const UsageHistoryEntry& entry : history) {
        try {
            const QByteArray element = json::write(toJson(entry), json::Form::store);
            if (bytes.size() > 1) {
                bytes.append(',');
            }
            bytes.append(element);
        } catch (const JsonEncodeError&) {
        }
    }
    bytes.append(']');
    return bytes;
}

void StoredState::persistUsageHistory()
{
    // The stored samples are not in yet: writing now would drop them. They come in with these.
    if (m_usageHistoryPending) {
        return;
    }
    if (m_viewModel.state().usageHistory.isEmpty()) {
        defaults().remove(Keys::usageHistory);
        return;
    }
    storeUsageHistory(false);
}

void StoredState::storeUsageHistory(bool alreadyStored)
{
    defaults().setEncodedData(
        Keys::usageHistory,
        [text = m_usageHistoryText, history = m_viewModel.state().usageHistory] { return text->encode(history); },
        alreadyStored);
}

QByteArray StoredState::UsageHistoryText::encode(const QList<UsageHistoryEntry>& history)
{
    std::lock_guard lock(m_mutex);
    return m_form.encode(history, EncodedRecordList<UsageHistoryEntry>::Unencodable::skip);
}

void StoredState::persistNotificationHistory()
{
    persistList(m_viewModel.state().notificationHistory, m_notificationHistoryForm, Keys::notificationHistory);
}

void StoredState::persistPendingDiscordResetNotifications()
{
    const auto& outbox = m_viewModel.state().pendingDiscordResetNotifications;
    if (outbox.isEmpty()) {
        defaults().remove(Keys::pendingDiscordResetNotifications);
    } else {
        setJson(toJsonArray(outbox), Keys::pendingDiscordResetNotifications);
    }
}

void StoredState::updateDiscordEvidence(const PendingDiscordNotification& item, NotificationDeliveryStatus status,
                                        std::optional<NotificationCancellationReason> reason)
{
    auto& history = m_viewModel.publishedState().notificationHistory;
    const auto found = std::find_if(history.begin(), history.end(), [&](const auto& entry) { return entry.id == item.generation; });
    if (found != history.end()) {
        const NotificationDeliveryEvidence old = found->delivery.value_or(NotificationDeliveryEvidence());
        NotificationDeliveryEvidence evidence = old;
        if (old.discord == NotificationDeliveryStatus::cancelled) {
            evidence.discord = status == NotificationDeliveryStatus::accepted ? NotificationDeliveryStatus::accepted
                                                                              : NotificationDeliveryStatus::cancelled;
        } else {
            evidence.discord = status;
        }
        evidence.discordResultWasUnknown = old.discordResultWasUnknown || status == NotificationDeliveryStatus::outcomeUnknown;
        evidence.discordCancellationReason = reason ? reason : old.discordCancellationReason;
        found->delivery = evidence;
        persistNotificationHistory();
        return;
    }
    if (!item.event && !item.bankedResetExpiry) {
        return;
    }
    const MonitoredProvider provider = item.event ? item.event->provider() : MonitoredProvider::codex;
    NotificationHistoryEntry entry;
    entry.id = item.generation;
    entry.provider = provider;
    entry.category = NotificationHistoryCategory::status;
    entry.title = displayName(provider) + QStringLiteral(" Discord通知の処理");
    entry.body = QStringLiteral("保存済みの送信待ちを処理しました。");
    entry.createdAt = m_viewModel.notificationNow();
    entry.delivery = NotificationDeliveryEvidence{NotificationDeliveryStatus::notRecorded, status,
                                                  status == NotificationDeliveryStatus::outcomeUnknown, reason};
    history = HistoryRetention::appendingNotification(entry, history);
    persistNotificationHistory();
}

} // namespace vantorel
