#pragma once

#include "core/foundation/CancelToken.h"
#include "core/foundation/Clock.h"
#include "core/model/UsageSnapshot.h"
#include "core/rules/DiscordWebhookURLResolution.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <QCoroTask>

#include <functional>
#include <memory>
#include <optional>

namespace vantorel {

class AppViewModel;
class ClaudeCodeTokenStore;
class ClaudeUsageService;
class CodexCLIUsageService;
class DiscordWebhookService;
class DiscordWebhookURLCache;
class KeychainStore;
class MacClaudeLoginAvailability;
class NotificationManager;
class OpenAIRateService;
class Pasteboard;
class SettingsStore;
class Sleeper;
class StatusService;
class UrlOpener;

// What the view model is built with: the services and hooks in the initialiser's order, then the
// clocks, sleeper and log it uses everywhere. An empty operation means the view model's own
// behaviour; the composition root supplies every service.
struct AppViewModelDependencies
{
    std::shared_ptr<SettingsStore> defaults;
    // True: the stored usage history, the longest part of the load, is decoded on a thread of its
    // own after the load, and the start-up task waits for it (the start-up makes the tray item
    // first). False: the load decodes it.
    bool usageHistoryLater = false;
    std::shared_ptr<StatusService> statusService;
    std::shared_ptr<StatusService> claudeStatusService;
    std::shared_ptr<OpenAIRateService> rateService;
    std::shared_ptr<CodexCLIUsageService> codexCLIUsageService;
    std::shared_ptr<ClaudeUsageService> claudeUsageService;
    std::shared_ptr<DiscordWebhookService> discordWebhookService;
    std::shared_ptr<DiscordWebhookURLCache> discordWebhookURLCache;
    std::shared_ptr<ClaudeCodeTokenStore> claudeCodeTokenStore;
    std::shared_ptr<KeychainStore> keychainStore;
    // False: the view model only loads and repairs its state (no timer, observer, log line or
    // start-up task).
    bool automaticallyStartServices = true;
    // Starts Claude's interactive login; true when it opened.
    std::function<bool()> claudeLoginLauncher;
    std::function<void(const QUrl&)> claudeURLLauncher;
    // Clock of the Claude authentication recovery; `now` when empty.
    Clock claudeNow;
    std::function<bool()> claudeCodeLauncher;
    // Pause of the Claude login watch; 5 s on `sleeper` when empty. Throws CancellationError.
    std::function<QCoro::Task<>(CancelToken)> claudeObservationPause;
    std::shared_ptr<NotificationManager> notificationManager;
    // Replaces the keychain lookup of the webhook URL.
    std::function<QCoro::Task<DiscordWebhookURLResolution>()> discordWebhookResolver;
    // Clock of the start-up pruning and the notification rules; `now` when empty.
    Clock notificationNow;
    // Replaces the keychain write of the webhook URL (none deletes it). Throws on failure.
    std::function<void(const std::optional<QString>&)> discordWebhookWriter;
    // Replaces the Codex app-server fetch.
    std::function<QCoro::Task<UsageSnapshot>(CancelToken)> codexUsageLoader;
    // Whether an interactive login may be shown now; when empty, what claudeLoginAvailability
    // says, or true without it.
    std::function<bool()> claudeCanPresentLogin;
    // Tells when the user may be back at an unlocked screen, so a deferred recovery can start.
    QPointer<MacClaudeLoginAvailability> claudeLoginAvailability;

    // The current time everywhere else; the system clock when empty.
    Clock now;
    // Every sleep of the core; a timer sleeper when null.
    std::shared_ptr<Sleeper> sleeper;
    // Diagnostics lines; AppDiagnostics::log when empty.
    std::function<void(const QString&)> log;
    // Registers (true) or unregisters the login item; the message goes to the view model's
    // launch-at-login text. Does nothing when empty.
    std::function<void(AppViewModel&, bool enabled, bool showSuccessMessage)> updateLaunchAtLogin;
    // Starts a program that outlives the application; the failure text, or none once started.
    // QProcess's detached start when empty.
    std::function<std::optional<QString>(const QString& program, const QStringList& arguments)> startDetachedProcess;
    // Runs a shell command in a new terminal window; false when none opened. TerminalLauncher
    // when empty.
    std::function<bool(const QString& command)> runInTerminal;
    // The executable a restart starts again; this process's own when empty.
    QString applicationPath;
    // Quits the application; QCoreApplication::quit when empty.
    std::function<void()> quitApplication;
    // The general clipboard; the system one when null and a QGuiApplication exists.
    std::shared_ptr<Pasteboard> pasteboard;
    // Opens files and folders; the desktop's handler when null.
    std::shared_ptr<UrlOpener> urlOpener;
    // Opens the desktop's notification settings; NotificationSettingsOpener when empty.
    std::function<void()> openNotificationSettings;
};

} // namespace vantorel
