#include "support/ViewModelHarness.h"

#include "app/platform/ClaudeCodeTokenStore.h"
#include "app/platform/KeychainStore.h"
#include "app/platform/NotificationManager.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/HttpClient.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/rules/DiscordWebhookService.h"
#include "core/rules/DiscordWebhookURLCache.h"
#include "core/sources/ClaudeUsageService.h"
#include "core/sources/CodexCLIUsageError.h"
#include "core/sources/CodexCLIUsageService.h"
#include "core/sources/OpenAIRateService.h"
#include "core/sources/StatusService.h"
#include "support/DrainEvents.h"
#include "support/FakeClaudeCodeCredentialReader.h"
#include "support/FakeNotificationBackend.h"
#include "support/FakeSecretStore.h"
#include "support/FakeUrlOpener.h"
#include "support/LoopbackTransport.h"
#include "support/ManualSleeper.h"

namespace vantorel {

namespace {

std::shared_ptr<HttpTransport> client(const HttpClient::Options& options)
{
    return std::make_shared<HttpClient>(options);
}

QCoro::Task<UsageSnapshot> scripted(std::variant<UsageSnapshot, std::exception_ptr> answer)
{
    if (const auto* error = std::get_if<std::exception_ptr>(&answer)) {
        std::rethrow_exception(*error);
    }
    co_return std::get<UsageSnapshot>(answer);
}

} // namespace

ViewModelHarness::ViewModelHarness()
    : sleeper(std::make_shared<ManualSleeper>(clock))
    , defaults(std::make_shared<InMemorySettingsStore>())
    , secrets(std::make_shared<FakeSecretStore>())
    , keychainStore(std::make_shared<KeychainStore>(secrets, [](const QString&) {}))
    , notificationBackend(std::make_shared<FakeNotificationBackend>())
    , notificationManager(std::make_shared<NotificationManager>(notificationBackend))
    , discordWebhookURLCache(std::make_shared<DiscordWebhookURLCache>())
    , claudeCredentials(std::make_shared<FakeClaudeCodeCredentialReader>())
    , urlOpener(std::make_shared<FakeUrlOpener>())
{
    const Clock now = clock.clock();
    statusService = std::make_shared<StatusService>(
        StatusService::openAIEndpoint(), std::make_shared<LoopbackTransport>(client(StatusService::transportOptions()), server.url()), now);
    claudeStatusService = std::make_shared<StatusService>(
        StatusService::claudeEndpoint(), std::make_shared<LoopbackTransport>(client(StatusService::transportOptions()), server.url()), now);
    rateService = std::make_shared<OpenAIRateService>(
        OpenAIRateService::defaultBaseURL(),
        std::make_shared<LoopbackTransport>(client(OpenAIRateService::transportOptions()), server.url()), now);
    claudeUsageService = std::make_shared<ClaudeUsageService>(
        ClaudeUsageService::defaultEndpoint(),
        std::make_shared<LoopbackTransport>(client(ClaudeUsageService::transportOptions()), server.url()), now);
    discordWebhookService = std::make_shared<DiscordWebhookService>(
        std::make_shared<LoopbackTransport>(client(DiscordWebhookService::transportOptions()), server.url()));
    codexCLIUsageService = std::make_shared<CodexCLIUsageService>(QStringList(), CodexCLIUsageService::defaultTimeoutSeconds,
                                                                  CodexCLIUsageService::currentHostApplication(), sleeper, now);
    claudeCodeTokenStore = std::make_shared<ClaudeCodeTokenStore>(claudeCredentials, now);
}

ViewModelHarness::~ViewModelHarness()
{
    destroyViewModel();
}

AppViewModelDependencies ViewModelHarness::dependencies(bool automaticallyStartServices)
{
    AppViewModelDependencies d;
    d.defaults = defaults;
    d.statusService = statusService;
    d.claudeStatusService = claudeStatusService;
    d.rateService = rateService;
    d.codexCLIUsageService = codexCLIUsageService;
    d.claudeUsageService = claudeUsageService;
    d.discordWebhookService = discordWebhookService;
    d.discordWebhookURLCache = discordWebhookURLCache;
    d.claudeCodeTokenStore = claudeCodeTokenStore;
    d.keychainStore = keychainStore;
    d.automaticallyStartServices = automaticallyStartServices;
    d.claudeNow = clock.clock();
    d.notificationManager = notificationManager;
    d.notificationNow = clock.clock();
    d.codexUsageLoader = [this](CancelToken) {
        ++m_codexLoads;
        if (m_codexScript.isEmpty()) {
            return scripted(std::make_exception_ptr(CodexCLIUsageError(CodexCLIUsageError::Code::executableNotFound)));
        }
        return scripted(m_codexScript.takeFirst());
    };
    d.now = clock.clock();
    d.sleeper = sleeper;
    d.log = [this](const QString& line) {
        m_log.append(line);
        if (onLog) {
            onLog(line);
        }
    };
    d.updateLaunchAtLogin = [this](AppViewModel&, bool enabled, bool showSuccessMessage) {
        m_launchAtLoginCalls.append({enabled, showSuccessMessage});
    };
    d.urlOpener = urlOpener;
    d.openNotificationSettings = [this] { ++m_notificationSettingsOpens; };
    return d;
}

void ViewModelHarness::storeSettings(const AppSettings& settings)
{
    defaults->set(StoredState::Keys::settings, json::write(toJson(settings), json::Form::store));
    defaults->set(StoredState::Keys::defaultsApplied, true);
}

AppViewModel& ViewModelHarness::makeViewModel(bool automaticallyStartServices)
{
    return makeViewModel(dependencies(automaticallyStartServices));
}

AppViewModel& ViewModelHarness::makeViewModel(AppViewModelDependencies dependencies)
{
    destroyViewModel();
    m_viewModel = std::make_unique<AppViewModel>(std::move(dependencies));
    return *m_viewModel;
}

void ViewModelHarness::destroyViewModel()
{
    m_viewModel.reset();
    drainEvents();
}

void ViewModelHarness::scriptCodexReading(const UsageSnapshot& reading)
{
    m_codexScript.append(reading);
}

void ViewModelHarness::scriptCodexFailure(std::exception_ptr error)
{
    m_codexScript.append(error);
}

QStringList ViewModelHarness::logLines(const QString& prefix) const
{
    QStringList lines;
    for (const QString& line : m_log) {
        if (line.startsWith(prefix)) {
            lines.append(line);
        }
    }
    return lines;
}

} // namespace vantorel
