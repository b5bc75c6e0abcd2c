#pragma once

#include "app/viewmodel/DiscordSendOutcome.h"
#include "app/viewmodel/DiscordTestDraft.h"
#include "core/rules/PendingDiscordNotification.h"

#include <QPointer>
#include <QString>

#include <QCoroTask>

#include <optional>

namespace vantorel {

class AppViewModel;

// The secret fields of the settings and the Discord test: saving and deleting the API key and
// the webhook URL through the asynchronous keychain, preparing and confirming the test message,
// and the one operation that posts to Discord. Every secret write goes through AsyncKeychain, so
// writes apply in call order and the GUI thread never waits for the keyring.
struct DiscordSettingsActions
{
    // The saves answer whether the secret was stored, so a view keeps what was typed otherwise.
    static QCoro::Task<bool> saveAPIKey(QPointer<AppViewModel> viewModel, QString key);
    static QCoro::Task<> deleteAPIKey(QPointer<AppViewModel> viewModel);
    static QCoro::Task<bool> saveDiscordWebhookURL(QPointer<AppViewModel> viewModel, QString text);
    static QCoro::Task<> deleteDiscordWebhookURL(QPointer<AppViewModel> viewModel);
    static void sendDiscordTestNotification(AppViewModel& viewModel);
    static QCoro::Task<> confirmDiscordTestNotification(QPointer<AppViewModel> viewModel, DiscordTestDraft draft);
    static QCoro::Task<DiscordSendOutcome> sendDiscordMessage(QPointer<AppViewModel> viewModel, QString content,
                                                              bool requiresEnabledSetting,
                                                              std::optional<PendingDiscordNotification> pendingNotification,
                                                              bool includesAppVersion);

    // Why the webhook and the API key cannot be saved while no secret service runs.
    static QString webhookStoreMissingText();
    static QString apiKeyStoreMissingText();

    // "Version <version> / Build <build>" of the running application.
    static QString versionText();
};

} // namespace vantorel
