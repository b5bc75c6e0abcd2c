#pragma once

#include "app/viewmodel/AppViewModelDependencies.h"
#include "core/model/AppSettings.h"
#include "core/model/UsageSnapshot.h"
#include "support/ManualClock.h"
#include "support/TestHttpServer.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>
#include <memory>
#include <variant>

namespace vantorel {

class AppViewModel;
class ClaudeCodeTokenStore;
class ClaudeUsageService;
class CodexCLIUsageService;
class DiscordWebhookService;
class DiscordWebhookURLCache;
class FakeClaudeCodeCredentialReader;
class FakeNotificationBackend;
class FakeSecretStore;
class FakeUrlOpener;
class InMemorySettingsStore;
class KeychainStore;
class LoopbackTransport;
class ManualSleeper;
class NotificationManager;
class OpenAIRateService;
class StatusService;

// A view model over fakes and virtual time: an in-memory settings store, the keychain on a
// FakeSecretStore, notifications on a FakeNotificationBackend, every HTTP service aimed at one
// TestHttpServer through LoopbackTransport, Claude Code's credential from memory, Codex readings
// from a script, one ManualClock for every clock, a ManualSleeper for every sleep and the log
// recorded. Change the public pieces before makeViewModel(); they stay shared with the view model.
class ViewModelHarness
{
public:
    ViewModelHarness();
    ~ViewModelHarness();
    ViewModelHarness(const ViewModelHarness&) = delete;
    ViewModelHarness& operator=(const ViewModelHarness&) = delete;

    // The dependencies as the harness wires them; tests may change fields before building.
    AppViewModelDependencies dependencies(bool automaticallyStartServices = false);
    // The record the next view model loads at construction as it is (no first-run defaults, no
    // change handling).
    void storeSettings(const AppSettings& settings);
    // Builds the view model (replacing an earlier one) and returns it.
    AppViewModel& makeViewModel(bool automaticallyStartServices = false);
    AppViewModel& makeViewModel(AppViewModelDependencies dependencies);
    AppViewModel& viewModel() const { return *m_viewModel; }
    // Destroys the view model, as quitting would.
    void destroyViewModel();

    // The next Codex loads answer these in order; with none left a load throws
    // CodexCLIUsageError::executableNotFound.
    void scriptCodexReading(const UsageSnapshot& reading);
    void scriptCodexFailure(std::exception_ptr error);
    int codexLoadCount() const { return m_codexLoads; }

    // Log lines written so far, and those that start with `prefix`.
    QStringList logLines() const { return m_log; }
    QStringList logLines(const QString& prefix) const;

    // Called with every log line after it is recorded.
    std::function<void(const QString&)> onLog;

    // Calls of the login-item hook: (enabled, showSuccessMessage).
    QList<std::pair<bool, bool>> launchAtLoginCalls() const { return m_launchAtLoginCalls; }
    // How often the desktop's notification settings were asked to open.
    int notificationSettingsOpenCount() const { return m_notificationSettingsOpens; }

    ManualClock clock;
    std::shared_ptr<ManualSleeper> sleeper;
    std::shared_ptr<InMemorySettingsStore> defaults;
    std::shared_ptr<FakeSecretStore> secrets;
    std::shared_ptr<KeychainStore> keychainStore;
    std::shared_ptr<FakeNotificationBackend> notificationBackend;
    std::shared_ptr<NotificationManager> notificationManager;
    TestHttpServer server;
    std::shared_ptr<StatusService> statusService;
    std::shared_ptr<StatusService> claudeStatusService;
    std::shared_ptr<OpenAIRateService> rateService;
    std::shared_ptr<CodexCLIUsageService> codexCLIUsageService;
    std::shared_ptr<ClaudeUsageService> claudeUsageService;
    std::shared_ptr<DiscordWebhookService> discordWebhookService;
    std::shared_ptr<DiscordWebhookURLCache> discordWebhookURLCache;
    std::shared_ptr<FakeClaudeCodeCredentialReader> claudeCredentials;
    std::shared_ptr<ClaudeCodeTokenStore> claudeCodeTokenStore;
    // Files and folders the view model opens. The clipboard is the real one (offscreen, in-process).
    std::shared_ptr<FakeUrlOpener> urlOpener;

private:
    QList<std::variant<UsageSnapshot, std::exception_ptr>> m_codexScript;
    int m_codexLoads = 0;
    QStringList m_log;
    QList<std::pair<bool, bool>> m_launchAtLoginCalls;
    int m_notificationSettingsOpens = 0;
    std::unique_ptr<AppViewModel> m_viewModel;
};

} // namespace vantorel
