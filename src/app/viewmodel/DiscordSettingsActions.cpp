#include "app/viewmodel/DiscordSettingsActions.h"

#include "app/platform/KeychainError.h"
#include "app/platform/KeychainStore.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/AsyncKeychain.h"
#include "app/viewmodel/DiscordOutboxWorker.h"
#include "app/viewmodel/MacNotificationDelivery.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/AppDiagnostics.h"
#include "core/foundation/SecretStore.h"
#include "core/model/DiscordTestPreview.h"
#include "core/model/NotificationChannel.h"
#include "core/model/NotificationMessageBuilder.h"
#include "core/rules/DiscordWebhookError.h"
#include "core/rules/DiscordWebhookService.h"
#include "core/rules/DiscordWebhookURLCache.h"

#include <QTimeZone>

#include <cmath>

namespace vantorel {

// Types that the coroutine frames below hold need a name with linkage: GCC rejects anonymous ones
// there when this file is part of a unity batch.
namespace discordActionsDetail {

// The status a failed post records, and whether the webhook itself was refused.
struct Failure
{
    NotificationDeliveryStatus status = NotificationDeliveryStatus::outcomeUnknown;
    bool refused = false;
    std::optional<QString> text;
};

// A task cannot answer an exception_ptr itself: its result shares a variant with its own error.
struct SecretWrite
{
    std::exception_ptr error;
};

} // namespace discordActionsDetail

namespace {

using Outcome = DiscordSendOutcome;
using DeliveryStatus = NotificationDeliveryStatus;

const QString attentionMessage = QStringLiteral("Webhookの保存先・有効性を確認し、再保存してください。");
const QString refusedMessage = QStringLiteral("Webhookの保存先・有効性・キーリングの許可を確認してください。");

QString errorText(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const KeychainError& failure) {
        return failure.message();
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    } catch (...) {
    }
    return QString();
}

// No secret service runs: nothing can be stored until one does, and there is nothing to unlock.
bool storeMissing(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const KeychainError& failure) {
        return failure.status() == SecretStore::Status::notAvailable;
    } catch (...) {
    }
    return false;
}

QString holdMessage(Date hold)
{
    return QStringLiteral("Discordの制限による待機中です。再試行可能: ")
        + NotificationMessageBuilder::shortDateTimeText(hold, QTimeZone::systemTimeZone());
}

bool holdActive(AppViewModel& viewModel)
{
    const Date now = viewModel.notificationNow();
    DiscordOutboxWorker::capServerHolds(viewModel, now);
    const auto& hold = viewModel.discordServerRetryNotBefore();
    return hold && *hold > now;
}

void clearAttention(AppViewModel& viewModel)
{
    AppState& state = viewModel.publishedState();
    state.discordDestinationGeneration = QUuid::createUuid();
    state.discordTestPreview.reset();
    state.discordWebhookNeedsAttention = false;
    viewModel.defaults().set(StoredState::Keys::discordWebhookNeedsAttention, false);
}

// A mention choice never made is made once, from the switch and the webhook found.
void settleMention(AppViewModel& viewModel, bool validURL)
{
    AppSettings settings = viewModel.settings();
    if (!settings.discordMentionEveryone) {
        const bool mention = settings.discordResetNotificationsEnabled && validURL;
        settings.discordMentionEveryone = mention;
        settings.discordMentionMigratedFromLegacy = mention;
    }
    viewModel.setSettings(settings);
}

void holdForServer(AppViewModel& viewModel, double retryAfter)
{
    const double delay = std::isfinite(retryAfter) && retryAfter > 0 ? retryAfter : DiscordWebhookService::defaultRetryDelay;
    const Date hold = viewModel.notificationNow() + delay;
    AppState& state = viewModel.publishedState();
    const auto later = [hold](const std::optional<Date>& current) { return current && *current > hold ? *current : hold; };
    state.discordServerRetryNotBefore = later(state.discordServerRetryNotBefore);
    viewModel.defaults().set(StoredState::Keys::discordServerRetryNotBefore, *state.discordServerRetryNotBefore);
    for (PendingDiscordNotification& item : state.pendingDiscordResetNotifications) {
        item.serverRetryNotBefore = later(item.serverRetryNotBefore);
    }
    viewModel.persistPendingDiscordResetNotifications();
}

discordActionsDetail::Failure classify(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const DiscordWebhookError& failure) {
        switch (failure.kind()) {
        case DiscordWebhookError::Kind::rateLimited: return {DeliveryStatus::rateLimited};
        case DiscordWebhookError::Kind::temporarilyUnavailable: return {DeliveryStatus::retryScheduled};
        case DiscordWebhookError::Kind::badHTTPStatus: {
            const int code = failure.httpStatus();
            if (code == 401 || code == 403 || code == 404) {
                return {DeliveryStatus::credentialUnavailable, true, refusedMessage};
            }
            return {DeliveryStatus::retryScheduled};
        }
        case DiscordWebhookError::Kind::invalidURL: return {DeliveryStatus::credentialUnavailable, true, refusedMessage};
        case DiscordWebhookError::Kind::invalidContent:
            return {DeliveryStatus::invalidContent, false,
                    QStringLiteral("本文が上限を超えたため、この通知の送信を停止しました。サービス名を短くしてください。")};
        // The client raises it only when the body cannot be encoded, before anything is sent.
        case DiscordWebhookError::Kind::invalidResponse: return {DeliveryStatus::retryScheduled};
        case DiscordWebhookError::Kind::outcomeUnknown: return {DeliveryStatus::outcomeUnknown};
        }
    } catch (...) {
    }
    return {DeliveryStatus::outcomeUnknown};
}

double retryAfterOf(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const DiscordWebhookError& failure) {
        return failure.retryAfter();
    } catch (...) {
    }
    return 0;
}

// Saves a secret (or deletes it, for no value) in call order on the keychain worker; a test may
// replace the webhook's storage. Answers the failure, or nothing.
QCoro::Task<discordActionsDetail::SecretWrite> writeSecret(QPointer<AppViewModel> viewModel, QString service,
                                                           std::optional<QString> value)
{
    try {
        const auto& writer = viewModel->dependencies().discordWebhookWriter;
        if (writer && service == KeychainStore::discordWebhookURLService)
            writer(value);
        else if (value)
            co_await viewModel->keychain().save(*value, service);
        else
            co_await viewModel->keychain().deleteItem(service);
    } catch (...) {
        co_return discordActionsDetail::SecretWrite{std::current_exception()};
    }
    co_return discordActionsDetail::SecretWrite{};
}

} // namespace

QString DiscordSettingsActions::webhookStoreMissingText()
{
    return QStringLiteral("キーリングが動いていないため、Discord Webhook URLを保存できません。");
}

QString DiscordSettingsActions::apiKeyStoreMissingText()
{
    return QStringLiteral("キーリングが動いていないため、API Keyを保存できません。");
}

QString DiscordSettingsActions::versionText()
{
    return AppDiagnostics::versionAndBuild().text();
}

QCoro::Task<bool> DiscordSettingsActions::saveAPIKey(QPointer<AppViewModel> viewModel, QString key)
{
    if (!viewModel) {
        co_return false;
    }
    const QString trimmed = key.trimmed();
    if (trimmed.isEmpty()) {
        viewModel->publishedState().apiKeyMessage = QStringLiteral("API Key が空です。");
        co_return false;
    }
    const std::exception_ptr error =
        (co_await writeSecret(viewModel, KeychainStore::openAIAPIKeyService, trimmed)).error;
    if (!viewModel) {
        co_return false;
    }
    if (error) {
        const bool missing = storeMissing(error);
        viewModel->publishedState().secretStoreUnavailable |= missing;
        viewModel->publishedState().apiKeyMessage = missing ? apiKeyStoreMissingText() : errorText(error);
        co_return false;
    }
    AppState& state = viewModel->publishedState();
    state.apiKeyIsSaved = true;
    state.apiKeyMessage = QStringLiteral("API Key をキーリングに保存しました。");
    co_return true;
}

QCoro::Task<> DiscordSettingsActions::deleteAPIKey(QPointer<AppViewModel> viewModel)
{
    if (!viewModel) {
        co_return;
    }
    const std::exception_ptr error =
        (co_await writeSecret(viewModel, KeychainStore::openAIAPIKeyService, std::nullopt)).error;
    if (!viewModel) {
        co_return;
    }
    if (error) {
        viewModel->publishedState().apiKeyMessage = errorText(error);
        co_return;
    }
    viewModel->publishedState().apiKeyIsSaved = false;
    AppSettings settings = viewModel->settings();
    settings.apiRateAutoRefreshEnabled = false;
    viewModel->setSettings(settings);
    viewModel->publishedState().apiKeyMessage = QStringLiteral("API Key を削除しました。");
}

QCoro::Task<bool> DiscordSettingsActions::saveDiscordWebhookURL(QPointer<AppViewModel> viewModel, QString text)
{
    if (!viewModel) {
        co_return false;
    }
    const QString trimmed = text.trimmed();
    if (!DiscordWebhookService::isValidWebhookURL(trimmed)) {
        viewModel->publishedState().discordWebhookMessage = QStringLiteral("Discord Webhook URLの形式を確認してください。");
        co_return false;
    }
    const std::exception_ptr error =
        (co_await writeSecret(viewModel, KeychainStore::discordWebhookURLService, trimmed)).error;
    if (!viewModel) {
        co_return false;
    }
    if (error) {
        const bool missing = storeMissing(error);
        viewModel->publishedState().secretStoreUnavailable |= missing;
        viewModel->publishedState().discordWebhookMessage = missing
            ? webhookStoreMissingText()
            : QStringLiteral("Webhookを保存できません。キーリングの許可を確認してください。");
        co_return false;
    }
    clearAttention(*viewModel);
    viewModel->dependencies().discordWebhookURLCache->resolve(SecureValueReadResult::value(trimmed));
    AppState& state = viewModel->publishedState();
    state.discordWebhookIsSaved = true;
    state.discordWebhookMessage = QStringLiteral("Discord Webhook URL をキーリングに保存しました。");
    viewModel->startTask([viewModel] {
        return viewModel->retryPendingDiscordNotificationsAfterCredentialRecovery(QStringLiteral("webhook-saved"));
    });
    co_return true;
}

QCoro::Task<> DiscordSettingsActions::deleteDiscordWebhookURL(QPointer<AppViewModel> viewModel)
{
    if (!viewModel) {
        co_return;
    }
    const std::exception_ptr error =
        (co_await writeSecret(viewModel, KeychainStore::discordWebhookURLService, std::nullopt)).error;
    if (!viewModel) {
        co_return;
    }
    if (error) {
        viewModel->publishedState().discordWebhookMessage =
            QStringLiteral("Webhookを削除できません。キーリングの許可を確認してください。");
        co_return;
    }
    clearAttention(*viewModel);
    viewModel->dependencies().discordWebhookURLCache->resolve(SecureValueReadResult::missing());
    viewModel->publishedState().discordWebhookIsSaved = false;
    AppSettings settings = viewModel->settings();
    settings.discordResetNotificationsEnabled = false;
    viewModel->setSettings(settings);
    viewModel->publishedState().discordWebhookMessage = QStringLiteral("Discord Webhook URL を削除しました。");
}

void DiscordSettingsActions::sendDiscordTestNotification(AppViewModel& viewModel)
{
    if (viewModel.isSendingDiscordTest()) {
        return;
    }
    viewModel.publishedState().discordTestPreview =
        DiscordTestDraft{QUuid::createUuid(), DiscordTestPreview::content(versionText())};
}

QCoro::Task<> DiscordSettingsActions::confirmDiscordTestNotification(QPointer<AppViewModel> viewModel, DiscordTestDraft draft)
{
    if (!viewModel || viewModel->discordTestPreview() != draft || viewModel->isSendingDiscordTest()) {
        co_return;
    }
    AppState& state = viewModel->publishedState();
    state.discordTestPreview.reset();
    state.isSendingDiscordTest = true;
    co_await viewModel->sendDiscordMessage(draft.content, false, std::nullopt, true);
    if (viewModel) {
        viewModel->publishedState().isSendingDiscordTest = false;
    }
}

QCoro::Task<DiscordSendOutcome> DiscordSettingsActions::sendDiscordMessage(
    QPointer<AppViewModel> viewModel, QString content, bool requiresEnabledSetting,
    std::optional<PendingDiscordNotification> pendingNotification, bool includesAppVersion)
{
    if (!viewModel || viewModel->lifetime().isCancelled() || !viewModel->dependencies().discordWebhookService) {
        co_return Outcome::notSent();
    }
    const QUuid destination = viewModel->state().discordDestinationGeneration;
    if (viewModel->discordWebhookNeedsAttention()) {
        viewModel->publishedState().discordWebhookMessage = attentionMessage;
        co_return Outcome::failed(DeliveryStatus::credentialUnavailable);
    }
    if (requiresEnabledSetting && !viewModel->settings().discordResetNotificationsEnabled) {
        viewModel->log(QStringLiteral("discord.send.skipped reason=disabled"));
        co_return Outcome::notSent();
    }
    if (holdActive(*viewModel)) {
        viewModel->publishedState().discordWebhookMessage = holdMessage(*viewModel->discordServerRetryNotBefore());
        co_return Outcome::failed(DeliveryStatus::rateLimited);
    }
    if (pendingNotification && !viewModel->canDeliverPendingDiscordNotification(*pendingNotification)) {
        co_return Outcome::notSent();
    }

    const DiscordWebhookURLResolution resolution = co_await viewModel->resolveDiscordWebhookURL();
    if (!viewModel || viewModel->lifetime().isCancelled()
        || viewModel->state().discordDestinationGeneration != destination) {
        co_return Outcome::notSent();
    }
    if (viewModel->discordWebhookNeedsAttention()) {
        co_return Outcome::failed(DeliveryStatus::credentialUnavailable);
    }
    if (holdActive(*viewModel)) {
        viewModel->publishedState().discordWebhookMessage = holdMessage(*viewModel->discordServerRetryNotBefore());
        co_return Outcome::failed(DeliveryStatus::rateLimited);
    }
    if ((requiresEnabledSetting && !viewModel->settings().discordResetNotificationsEnabled)
        || (pendingNotification && !viewModel->canDeliverPendingDiscordNotification(*pendingNotification))) {
        co_return Outcome::notSent();
    }

    switch (resolution.kind) {
    case DiscordWebhookURLResolution::Kind::temporarilyUnavailable:
        // A locked keyring comes back by itself; a missing one has nothing to unlock.
        viewModel->publishedState().discordWebhookMessage = viewModel->secretStoreUnavailable()
            ? QStringLiteral("キーリングが動いていないため、Discordへ送信できません。")
            : QStringLiteral("キーリングが一時的に利用できません。キーリングのロック解除後に自動再送します。");
        viewModel->log(QStringLiteral("discord.send.skipped reason=keychainTemporarilyUnavailable"));
        co_return Outcome::failed(DeliveryStatus::credentialUnavailable);
    case DiscordWebhookURLResolution::Kind::missing:
        settleMention(*viewModel, false);
        viewModel->publishedState().discordWebhookMessage = QStringLiteral("Discord Webhook URL が未保存です。");
        viewModel->log(QStringLiteral("discord.send.skipped reason=webhookMissing"));
        co_return Outcome::failed(DeliveryStatus::credentialUnavailable);
    case DiscordWebhookURLResolution::Kind::available:
        settleMention(*viewModel, DiscordWebhookService::isValidWebhookURL(resolution.url));
        viewModel->log(QStringLiteral("discord.webhook.resolved source=")
                       + (resolution.source == DiscordWebhookURLSource::memory ? QStringLiteral("memory")
                                                                                : QStringLiteral("keychain")));
        break;
    }

    QString text = content;
    if (!includesAppVersion) {
        const QString base = pendingNotification
            ? MacNotificationDelivery::message(*pendingNotification, viewModel->notificationDeliveryContext(),
                                               QTimeZone::systemTimeZone())
            : content;
        // Nothing left to report: the version line alone is no message.
        if (base.isEmpty()) {
            co_return Outcome::notSent();
        }
        text = NotificationMessageBuilder::appendingAppVersion(base, versionText());
    }
    if (pendingNotification) {
        // Stored before the post, so a crash in flight reads as an unknown outcome next time.
        viewModel->updateDiscordEvidence(*pendingNotification, DeliveryStatus::submitting, std::nullopt);
    }
    const bool mentionEveryone = requiresEnabledSetting && viewModel->settings().discordMentionEveryone.value_or(false);
    const std::shared_ptr<DiscordWebhookService> service = viewModel->dependencies().discordWebhookService;
    std::exception_ptr error;
    try {
        co_await service->send(text, resolution.url, mentionEveryone, viewModel->lifetime());
    } catch (...) {
        error = std::current_exception();
    }
    if (!viewModel) {
        co_return Outcome::notSent();
    }
    if (!error) {
        viewModel->setTransientDiscordWebhookMessage(
            QStringLiteral("Discordでの保存を確認しました。表示・閲覧の確認ではありません。"));
        viewModel->log(QStringLiteral("discord.send.success"));
        co_return Outcome::delivered();
    }

    const discordActionsDetail::Failure failure = classify(error);
    if (failure.status == DeliveryStatus::rateLimited) {
        holdForServer(*viewModel, retryAfterOf(error));
    }
    if (failure.refused && viewModel->state().discordDestinationGeneration == destination) {
        viewModel->publishedState().discordWebhookNeedsAttention = true;
        viewModel->defaults().set(StoredState::Keys::discordWebhookNeedsAttention, true);
    }
    viewModel->publishedState().discordWebhookMessage = failure.text.value_or(label(failure.status, NotificationChannel::discord));
    viewModel->log(QStringLiteral("discord.send.result ") + rawValue(failure.status));
    co_return Outcome::failed(failure.status);
}

} // namespace vantorel
