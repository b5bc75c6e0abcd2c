#include "app/viewmodel/ProviderRefreshTasks.h"

#include "app/platform/KeychainError.h"
#include "app/platform/KeychainStore.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/AsyncKeychain.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/HttpError.h"
#include "core/foundation/Json.h"
#include "core/rules/StatusChangeDetector.h"
#include "core/sources/CodexCLIUsageError.h"
#include "core/sources/CodexCLIUsageService.h"
#include "core/sources/OpenAIRateService.h"
#include "core/sources/OpenAIRateServiceError.h"
#include "core/sources/StatusService.h"
#include "core/sources/StatusServiceError.h"

namespace vantorel {

// Types that the coroutine frames below hold need a name with linkage: GCC rejects anonymous ones
// there when this file is part of a unity batch.
namespace providerRefreshDetail {

// Sets a busy flag for the life of a fetch; the flag is cleared however the coroutine ends,
// also when its frame is destroyed while it waits.
class BusyFlag
{
public:
    BusyFlag(QPointer<AppViewModel> viewModel, bool AppState::*flag)
        : m_viewModel(std::move(viewModel))
        , m_flag(flag)
    {
        m_viewModel->publishedState().*m_flag = true;
    }
    ~BusyFlag() { clear(); }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

    void clear()
    {
        if (m_viewModel && m_viewModel->state().*m_flag) {
            m_viewModel->publishedState().*m_flag = false;
        }
    }

private:
    QPointer<AppViewModel> m_viewModel;
    bool AppState::*m_flag;
};

} // namespace providerRefreshDetail

namespace {

bool statusPageWatched(const AppSettings& settings, bool claude)
{
    return claude ? settings.claudeEnabled && settings.claudeStatusEnabled : settings.codexEnabled;
}

QMap<QString, ComponentHealth> statusBaseline(const QList<ServiceStatus>& services)
{
    const auto baseline = StatusChangeDetector::baseline(services);
    QMap<QString, ComponentHealth> map;
    for (auto it = baseline.cbegin(); it != baseline.cend(); ++it) {
        map.insert(it.key(), it.value());
    }
    return map;
}

bool isUnconfirmedFormat(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const CodexCLIUsageError& failure) {
        return failure.code() == CodexCLIUsageError::Code::unconfirmedUsageFormat;
    } catch (...) {
        return false;
    }
}

// Closes this refresh's banked-reset observation; false when another refresh or the outbox
// worker has replaced it meanwhile, which makes this refresh's result stale.
bool closeObservation(AppViewModel& viewModel, const QUuid& generation, std::optional<BankedResetSummary> summary)
{
    auto& observation = viewModel.mutableState().bankedResetExpiryObservation;
    if (observation.generation != generation) {
        return false;
    }
    observation.generation = QUuid::createUuid();
    observation.current = std::move(summary);
    observation.completedAt = viewModel.notificationNow();
    return true;
}

QCoro::Task<UsageSnapshot> loadCodexUsage(AppViewModel& viewModel)
{
    const CancelToken token = viewModel.lifetime().child();
    if (auto loader = viewModel.dependencies().codexUsageLoader) {
        co_return co_await loader(token);
    }
    auto service = viewModel.dependencies().codexCLIUsageService;
    if (!service) {
        service = std::make_shared<CodexCLIUsageService>();
    }
    co_return co_await service->fetchUsage(viewModel.settings().codexCLIExecutablePath, token);
}

// The log keeps the keychain's own word where the screen names this platform's store.
QString loggedRefreshError(const std::exception_ptr& error, const QString& shown)
{
    try {
        std::rethrow_exception(error);
    } catch (const KeychainError& failure) {
        return failure.logText();
    } catch (...) {
    }
    return shown;
}

} // namespace

QCoro::Task<> ProviderRefreshTasks::refreshCodexItems(QPointer<AppViewModel> viewModel)
{
    if (!viewModel || !viewModel->settings().codexEnabled) {
        co_return;
    }
    co_await viewModel->refreshStatus();
    if (viewModel && viewModel->settings().codexCLIAutoRefreshEnabled) {
        co_await viewModel->refreshCodexCLIUsage();
    }
    if (viewModel && viewModel->settings().apiRateAutoRefreshEnabled) {
        co_await viewModel->refreshAPIRateLimits();
    }
}

QCoro::Task<> ProviderRefreshTasks::refreshClaudeItems(QPointer<AppViewModel> viewModel)
{
    if (!viewModel || !viewModel->settings().claudeEnabled) {
        co_return;
    }
    if (viewModel->settings().claudeStatusEnabled) {
        co_await viewModel->refreshClaudeStatus();
    }
    if (viewModel && viewModel->settings().claudeUsageAutoRefreshEnabled) {
        co_await viewModel->refreshClaudeUsage(false);
    }
}

QCoro::Task<> ProviderRefreshTasks::refreshStatus(QPointer<AppViewModel> viewModel)
{
    return refreshStatusPage(std::move(viewModel), false);
}

QCoro::Task<> ProviderRefreshTasks::refreshClaudeStatus(QPointer<AppViewModel> viewModel)
{
    return refreshStatusPage(std::move(viewModel), true);
}

QCoro::Task<> ProviderRefreshTasks::refreshStatusPage(QPointer<AppViewModel> viewModel, bool claude)
{
    bool AppState::*busy = claude ? &AppState::isRefreshingClaudeStatus : &AppState::isRefreshing;
    if (!viewModel || !statusPageWatched(viewModel->settings(), claude) || viewModel->state().*busy) {
        co_return;
    }
    const auto service = claude ? viewModel->dependencies().claudeStatusService : viewModel->dependencies().statusService;
    if (!service) {
        co_return;
    }
    providerRefreshDetail::BusyFlag flag(viewModel, busy);
    const QStringList componentNames = claude ? viewModel->settings().claudeComponentNames
                                              : viewModel->settings().componentNames;
    const QStringList keywords = claude ? QStringList{QStringLiteral("claude"), QStringLiteral("anthropic")}
                                        : QStringList{QStringLiteral("codex")};
    std::optional<CodexStatusSummary> summary;
    std::exception_ptr error;
    try {
        summary = co_await service->fetchSummary(componentNames, keywords, viewModel->lifetime().child());
    } catch (...) {
        error = std::current_exception();
    }
    if (!viewModel || !statusPageWatched(viewModel->settings(), claude)) {
        co_return;
    }
    CodexStatusSummary AppState::*published = claude ? &AppState::claudeStatusSummary : &AppState::statusSummary;
    std::optional<QString> AppState::*message = claude ? &AppState::claudeStatusErrorMessage : &AppState::lastErrorMessage;
    QMap<QString, ComponentHealth> AppState::*baseline = claude ? &AppState::previousClaudeServiceStatuses
                                                                : &AppState::previousServiceStatuses;
    AppState& state = viewModel->publishedState();
    if (summary) {
        state.*message = std::nullopt;
        state.*published = *summary;
        const QMap<QString, ComponentHealth> previous = state.*baseline;
        viewModel->evaluateStatusNotifications(*summary, previous, claude ? QStringLiteral("Claude") : QStringLiteral("Codex"));
        if (viewModel) {
            viewModel->mutableState().*baseline = statusBaseline(summary->services);
        }
        co_return;
    }
    const QString description = errorDescription(error);
    state.*message = description;
    viewModel->log((claude ? QStringLiteral("refreshClaudeStatus.error ") : QStringLiteral("refreshStatus.error "))
                   + loggedRefreshError(error, description));
    CodexStatusSummary failed = state.*published;
    failed.pageIndicator = QStringLiteral("fetch_failed");
    failed.pageDescription = QStringLiteral("取得失敗");
    failed.overallStatus = OverallCodexState::fetchFailed;
    failed.updatedAt = viewModel->now();
    state.*published = failed;
}

QCoro::Task<> ProviderRefreshTasks::refreshCodexCLIUsage(QPointer<AppViewModel> viewModel)
{
    if (!viewModel || !viewModel->settings().codexEnabled || viewModel->isRefreshingCodexCLI()) {
        co_return;
    }
    const QUuid generation = QUuid::createUuid();
    viewModel->mutableState().bankedResetExpiryObservation = BankedResetExpiryObservation{std::nullopt, generation,
                                                                                          std::nullopt};
    providerRefreshDetail::BusyFlag flag(viewModel, &AppState::isRefreshingCodexCLI);
    std::optional<UsageSnapshot> reading;
    std::exception_ptr error;
    try {
        reading = co_await loadCodexUsage(*viewModel);
        // Values whose windows cannot be told apart are not shown or compared.
        if (!reading->codexPeriodsAreConfirmed()) {
            reading.reset();
            throw CodexCLIUsageError(CodexCLIUsageError::Code::unconfirmedUsageFormat);
        }
    } catch (...) {
        error = std::current_exception();
    }
    if (!viewModel) {
        co_return;
    }
    flag.clear();
    if (!viewModel->settings().codexEnabled
        || !closeObservation(*viewModel, generation, reading ? reading->bankedReset : std::nullopt)) {
        co_return;
    }
    if (reading) {
        viewModel->publishedState().codexCLIErrorMessage = std::nullopt;
        viewModel->saveUsageSnapshot(*reading);
        viewModel->logUsageSnapshot(*reading, QStringLiteral("Codex"));
        viewModel->scheduleDiscordOutboxWorker(viewModel->notificationNow());
        co_return;
    }
    const QString description = errorDescription(error);
    viewModel->publishedState().codexCLIErrorMessage = description;
    if (isUnconfirmedFormat(error)) {
        viewModel->publishedState().codexPeriodsUnconfirmed = true;
        viewModel->defaults().set(StoredState::Keys::codexPeriodsUnconfirmed, true);
        viewModel->invalidateCodexPeriodComparisons(false);
    }
    viewModel->revalidatePendingDiscordNotifications(viewModel->notificationNow());
    viewModel->scheduleDiscordOutboxWorker(viewModel->notificationNow());
    viewModel->log(QStringLiteral("refreshCodexCLIUsage.error ") + loggedRefreshError(error, description));
}

QCoro::Task<> ProviderRefreshTasks::refreshAPIRateLimits(QPointer<AppViewModel> viewModel)
{
    if (!viewModel || !viewModel->settings().codexEnabled || viewModel->isRefreshingRate()) {
        co_return;
    }
    const std::optional<QString> apiKey = co_await viewModel->readAPIKeyFromKeychain();
    // Tested again: another call may have started while the key was read.
    if (!viewModel || !viewModel->settings().codexEnabled || viewModel->isRefreshingRate()) {
        co_return;
    }
    if (!apiKey || apiKey->isEmpty()) {
        viewModel->publishedState().apiRateErrorMessage = QStringLiteral("API Key が未保存です。設定から保存してください。");
        viewModel->log(QStringLiteral("refreshAPIRateLimits.skipped missingAPIKey"));
        co_return;
    }
    const auto service = viewModel->dependencies().rateService;
    if (!service) {
        co_return;
    }
    providerRefreshDetail::BusyFlag flag(viewModel, &AppState::isRefreshingRate);
    std::optional<RateLimitSnapshot> snapshot;
    std::exception_ptr error;
    try {
        snapshot = co_await service->fetchRateLimits(*apiKey, viewModel->settings().apiRateModel,
                                                     viewModel->lifetime().child());
    } catch (...) {
        error = std::current_exception();
    }
    if (!viewModel || !viewModel->settings().codexEnabled) {
        co_return;
    }
    if (snapshot) {
        viewModel->publishedState().apiRateErrorMessage = std::nullopt;
        viewModel->publishedState().apiRateSnapshot = *snapshot;
        viewModel->storedState().setCodable(*snapshot, StoredState::Keys::apiRate);
        viewModel->evaluateRateNotifications(*snapshot);
        co_return;
    }
    const QString description = errorDescription(error);
    viewModel->publishedState().apiRateErrorMessage = description;
    viewModel->log(QStringLiteral("refreshAPIRateLimits.error ") + loggedRefreshError(error, description));
}

QCoro::Task<std::optional<QString>> ProviderRefreshTasks::readAPIKeyFromKeychain(QPointer<AppViewModel> viewModel)
{
    if (!viewModel) {
        co_return std::nullopt;
    }
    SecureValueReadResult result;
    try {
        result = co_await viewModel->keychain().readResult(KeychainStore::openAIAPIKeyService);
    } catch (...) {
        co_return std::nullopt;
    }
    if (result.kind != SecureValueReadResult::Kind::value) {
        co_return std::nullopt;
    }
    co_return result.text;
}

QString ProviderRefreshTasks::errorDescription(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const CodexCLIUsageError& failure) {
        return failure.message();
    } catch (const StatusServiceError& failure) {
        return failure.message();
    } catch (const OpenAIRateServiceError& failure) {
        return failure.message();
    } catch (const HttpError& failure) {
        return failure.localizedDescription();
    } catch (const KeychainError& failure) {
        return failure.message();
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    } catch (...) {
    }
    return {};
}

} // namespace vantorel
