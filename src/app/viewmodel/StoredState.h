#pragma once

#include "core/foundation/Json.h"
#include "core/foundation/SettingsStore.h"
#include "core/model/EncodedRecordList.h"
#include "core/model/NotificationHistoryEntry.h"
#include "core/model/UsageHistoryEntry.h"
#include "core/model/NotificationCancellationReason.h"
#include "core/model/NotificationDeliveryStatus.h"
#include "core/rules/PendingDiscordNotification.h"

#include <QPointer>
#include <QString>

#include <QCoroTask>

#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>

namespace vantorel {

class AppViewModel;

// The application state in the settings store: the keys, the JSON coding of stored records, the
// start-up load (every value read, repaired and pruned, the one-time first-run migration), the
// start-up task, the keychain check and the writers of the histories and the outbox.
class StoredState final
{
public:
    struct Keys
    {
        static inline const QString settings = QStringLiteral("Vantorel.settings");
        static inline const QString defaultsApplied = QStringLiteral("Vantorel.defaultsApplied.startupUI.1");
        static inline const QString usage = QStringLiteral("Vantorel.usage");
        static inline const QString claudeUsage = QStringLiteral("Vantorel.claudeUsage");
        static inline const QString claudeFailedSnapshotDate = QStringLiteral("Vantorel.claudeFailedSnapshotDate");
        static inline const QString apiRate = QStringLiteral("Vantorel.apiRate");
        static inline const QString usageHistory = QStringLiteral("Vantorel.usageHistory");
        static inline const QString notificationHistory = QStringLiteral("Vantorel.notificationHistory");
        static inline const QString usageNotifications = QStringLiteral("Vantorel.usageNotifications");
        static inline const QString discordUsageNotifications = QStringLiteral("Vantorel.discordUsageNotifications");
        static inline const QString resetNotifications = QStringLiteral("Vantorel.resetNotifications");
        static inline const QString lastResetNotificationDates = QStringLiteral("Vantorel.lastResetNotificationDates");
        static inline const QString usageResetBaselines = QStringLiteral("Vantorel.usageResetBaselines");
        static inline const QString lastObservedBankedReset = QStringLiteral("Vantorel.lastObservedBankedReset");
        static inline const QString notifiedBankedResetExpiries = QStringLiteral("Vantorel.notifiedBankedResetExpiries");
        static inline const QString pendingDiscordResetNotifications = QStringLiteral("Vantorel.pendingDiscordResetNotifications");
        static inline const QString discordWebhookNeedsAttention = QStringLiteral("Vantorel.discordWebhookNeedsAttention");
        static inline const QString discordServerRetryNotBefore = QStringLiteral("Vantorel.discordServerRetryNotBefore");
        static inline const QString codexPeriodsUnconfirmed = QStringLiteral("Vantorel.codexPeriodsUnconfirmed");
        static inline const QString claudeAuthFailureEpisode = QStringLiteral("Vantorel.claudeAuthFailureEpisode");
        static inline const QString claudeAutomaticRecoveryAttemptAt = QStringLiteral("Vantorel.claudeAutomaticRecoveryAttemptAt");
    };

    explicit StoredState(AppViewModel& viewModel);
    ~StoredState();
    StoredState(const StoredState&) = delete;
    StoredState& operator=(const StoredState&) = delete;

    // The warning the window shows while the settings file (in `settingsFolder`) or the log (in
    // `logFolder`) cannot be written, the settings first. None when both write.
    static std::optional<QString> storageFailureMessage(const QString& settingsFailure, const QString& logFailure,
                                                        const QString& settingsFolder, const QString& logFolder);

    // The JSON document stored under the key, decoded; none when absent, not data, not JSON or
    // not the record.
    template <typename T>
    std::optional<T> codable(const QString& key, std::optional<T> (*decode)(const Json&)) const
    {
        const auto document = storedJson(key);
        return document ? decode(*document) : std::nullopt;
    }
    std::optional<Json> storedJson(const QString& key) const;

    // Stores the value's JSON document; a value that cannot be encoded writes nothing.
    template <typename T>
    void setCodable(const T& value, const QString& key)
    {
        setJson(toJson(value), key);
    }
    void setJson(const Json& document, const QString& key);

    // Initialiser steps up to the period check: loads and repairs everything and writes back the
    // repaired history, the pruned outbox and the expiry ledger. With `usageHistoryLater`, the
    // usage history is decoded on a thread of its own from the next turn on, and comes in when
    // it is done (see usageHistoryLoaded).
    void load(bool usageHistoryLater = false);

    // Whether the stored usage history is in. Until then the view model's list holds only the
    // samples taken since the start, and nothing writes the stored one: it comes in with them.
    bool usageHistoryLoaded() const { return !m_usageHistoryPending; }
    // Runs `then` once the stored usage history is in: at once when it is, else on the turn after
    // it comes, unless `context` is gone by then.
    void whenUsageHistoryLoaded(QObject* context, std::function<void()> then);
    // Brings the stored usage history in now, waiting for its decoding if it still runs. For what
    // cannot start without it and cannot wait either.
    void finishLoadingUsageHistory();

    // The work started once at launch: notification permission, keychain check, outbox retry,
    // first refresh.
    static QCoro::Task<> runStartUpTask(QPointer<AppViewModel> viewModel);
    static QCoro::Task<> refreshKeychainSavedState(QPointer<AppViewModel> viewModel);

    void persistUsageHistory();
    // The usage history's stored text encoded afresh, written sample by sample so that no tree of
    // the whole list is built. A sample that cannot be encoded (a number that is not finite) is
    // left out rather than failing the whole settings file. The text stored is made incrementally
    // and equals this.
    static QByteArray usageHistoryStoreText(const QList<UsageHistoryEntry>& history);
    // The usage history's text as the settings store makes it for each file write, on its writer
    // thread: kept from the last write, so that each write encodes only the samples added since.
    // Any thread.
    class UsageHistoryText;
    void persistNotificationHistory();
    void persistPendingDiscordResetNotifications();
    // Writes a Discord outcome into the history record whose id is the item's generation.
    void updateDiscordEvidence(const PendingDiscordNotification& item, NotificationDeliveryStatus status,
                               std::optional<NotificationCancellationReason> reason);

private:
    SettingsStore& defaults() const;
    void loadLedgers();
    void loadOutboxAndExpiries();
    void loadHistories(bool usageHistoryLater);
    void startDecodingUsageHistory();
    // Adds the decoded samples to those taken meanwhile and stores the list when it changed.
    void adoptUsageHistory(QList<UsageHistoryEntry> decoded);
    // Stores the usage history as its samples, encoded only when the file is written.
    void storeUsageHistory(bool alreadyStored);
    // Publishes storageFailureMessage now and whenever the store's or the log's failure changes.
    void watchWriteFailures();
    void publishStorageFailure();
    void loadSettings();
    void loadReadings();
    void recordDroppedOutboxItems();
    void checkCodexPeriods();
    // Stores the list's JSON array under the key, or removes the key when the list is empty.
    template <typename T>
    void persistList(const QList<T>& records, EncodedRecordList<T>& form, const QString& key);

    AppViewModel& m_viewModel;
    QList<PendingDiscordNotification> m_storedOutbox;
    // The notification history's stored form, kept per record: one new entry encodes one record.
    // The usage history's text is made from the samples on the settings store's writer thread.
    EncodedRecordList<NotificationHistoryEntry> m_notificationHistoryForm;
    bool m_loaded = false;
    bool m_usageHistoryPending = false;
    std::future<QList<UsageHistoryEntry>> m_decodedUsageHistory;
    QList<std::pair<QPointer<QObject>, std::function<void()>>> m_usageHistoryWaiters;
    std::shared_ptr<UsageHistoryText> m_usageHistoryText;
};

class StoredState::UsageHistoryText
{
public:
    QByteArray encode(const QList<UsageHistoryEntry>& history);

private:
    std::mutex m_mutex;
    EncodedRecordList<UsageHistoryEntry> m_form;
};

} // namespace vantorel
