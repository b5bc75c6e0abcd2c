#include "app/viewmodel/RefreshLoop.h"

#include "app/viewmodel/AppViewModel.h"
#include "core/foundation/CancellationError.h"
#include "core/foundation/Sleeper.h"

#include <algorithm>
#include <cmath>

namespace vantorel {

namespace {

// Children of the refresh are awaited to their end whatever they throw; each reports its own
// failures.
QCoro::Task<> settle(QCoro::Task<> task)
{
    try {
        co_await std::move(task);
    } catch (...) {
    }
}

} // namespace

RefreshLoop::RefreshLoop(AppViewModel& viewModel)
    : m_viewModel(viewModel)
{
}

void RefreshLoop::startRefreshTimer()
{
    if (!m_viewModel.automaticallyStartServices()) {
        return;
    }
    m_viewModel.tasks().refreshTask.cancel();
    AppState& state = m_viewModel.publishedState();
    state.refreshSchedule.configure(state.settings, m_viewModel.now());
    state.nextAutoRefreshAt = state.refreshSchedule.earliestDate();
    if (m_viewModel.autoRefreshIsEnabled()) {
        const CancelToken token = m_viewModel.lifetime().child();
        m_viewModel.tasks().refreshTask = TaskHandle(runLoop(QPointer<AppViewModel>(&m_viewModel), token), token);
        return;
    }
    m_viewModel.tasks().refreshTask = TaskHandle();
    state.nextAutoRefreshAt = std::nullopt;
    m_viewModel.log(QStringLiteral("refreshTimer.disabled noActiveProvider"));
}

QCoro::Task<> RefreshLoop::runLoop(QPointer<AppViewModel> viewModel, CancelToken token)
{
    while (!token.isCancelled() && viewModel) {
        const auto earliest = viewModel->state().refreshSchedule.earliestDate();
        if (!earliest) {
            co_return;
        }
        double delay = earliest->timeIntervalSince(viewModel->now());
        // A clock that reads NaN would otherwise spin on zero-length sleeps.
        delay = std::isnan(delay) ? maximumSleep : std::clamp(delay, 0.0, maximumSleep);
        try {
            co_await viewModel->sleeper().sleep(delay, token);
        } catch (const CancellationError&) {
            co_return;
        }
        if (token.isCancelled()) {
            co_return;
        }
        if (viewModel) {
            viewModel->runDueProviderRefreshes();
        }
    }
}

void RefreshLoop::runDueProviderRefreshes()
{
    AppState& state = m_viewModel.publishedState();
    const auto due = state.refreshSchedule.takeDue(m_viewModel.now());
    state.nextAutoRefreshAt = state.refreshSchedule.earliestDate();
    auto& running = m_viewModel.tasks().scheduledProviderTasks;
    for (const MonitoredProvider provider : due) {
        // Still refreshing: this turn is skipped, not made up (takeDue already moved its date).
        if (running.contains(provider)) {
            continue;
        }
        const CancelToken token = m_viewModel.lifetime().child();
        running[provider] = TaskHandle(refreshProvider(QPointer<AppViewModel>(&m_viewModel), provider, token), token);
    }
}

QCoro::Task<> RefreshLoop::refreshProvider(QPointer<AppViewModel> viewModel, MonitoredProvider provider,
                                           CancelToken token)
{
    // A started task runs on a later turn, after the code that started it.
    co_await AppViewModel::nextTurn();
    if (viewModel && !token.isCancelled()) {
        // Named, not a conditional inside co_await: g++ 12 destroys such a temporary twice.
        QCoro::Task<> refresh = provider == MonitoredProvider::claude ? viewModel->refreshClaudeItems()
                                                                      : viewModel->refreshCodexItems();
        co_await settle(std::move(refresh));
        if (viewModel) {
            viewModel->publishedState().lastRefreshCompletedAt = viewModel->now();
            co_await settle(viewModel->deliverPendingDiscordResetNotifications());
            if (viewModel) {
                emit viewModel->refreshFinished();
            }
        }
    }
    if (!viewModel) {
        co_return;
    }
    auto& running = viewModel->tasks().scheduledProviderTasks;
    const auto entry = running.find(provider);
    if (entry != running.end() && entry->second.token() == token) {
        running.erase(entry);
    }
}

QCoro::Task<> RefreshLoop::refreshScheduledItems(QPointer<AppViewModel> viewModel)
{
    if (!viewModel || viewModel->state().isRefreshingScheduledItems) {
        co_return;
    }
    viewModel->mutableState().isRefreshingScheduledItems = true;
    const Date start = viewModel->now();

    AppState& state = viewModel->mutableState();
    state.refreshSchedule.configure(state.settings, start);
    state.refreshSchedule.markRequested(start);
    viewModel->startRefreshTimer();
    viewModel->log(QStringLiteral("refreshScheduledItems.start"));

    // Both run at once and interleave at their awaits.
    QCoro::Task<> codex = settle(viewModel->refreshCodexItems());
    QCoro::Task<> claude = settle(viewModel->refreshClaudeItems());
    co_await std::move(codex);
    co_await std::move(claude);
    if (viewModel) {
        co_await settle(viewModel->deliverPendingDiscordResetNotifications());
    }

    if (!viewModel) {
        co_return;
    }
    viewModel->mutableState().isRefreshingScheduledItems = false;
    const Date end = viewModel->now();
    viewModel->publishedState().lastRefreshCompletedAt = end;
    viewModel->log(QStringLiteral("refreshScheduledItems.end elapsed=") + QString::number(end - start, 'f', 2)
                   + QStringLiteral("s"));
    emit viewModel->refreshFinished();
}

void RefreshLoop::requestRefresh(const QString& reason)
{
    QPointer<AppViewModel> viewModel(&m_viewModel);
    m_viewModel.startTask([viewModel, reason] { return refreshRequested(viewModel, reason); });
}

QCoro::Task<> RefreshLoop::refreshRequested(QPointer<AppViewModel> viewModel, QString reason)
{
    if (!viewModel) {
        co_return;
    }
    viewModel->log(QStringLiteral("refresh.requested reason=") + reason);
    co_await viewModel->refreshScheduledItems();
}

} // namespace vantorel
