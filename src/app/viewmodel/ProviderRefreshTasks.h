#pragma once

#include <QPointer>
#include <QString>

#include <QCoroTask>

#include <exception>
#include <optional>

namespace vantorel {

class AppViewModel;

// The fetch steps of the two provider refreshes. Each step re-reads the settings at every
// decision, keeps itself single with its busy flag (tested and set with no await between,
// cleared on every path), publishes its result or its failure text and throws nothing. A result
// that arrives after its provider was switched off is dropped.
class ProviderRefreshTasks final
{
public:
    ProviderRefreshTasks() = delete;

    // Status page, then Codex usage and API rate limits when their automatic refresh is on.
    static QCoro::Task<> refreshCodexItems(QPointer<AppViewModel> viewModel);
    // Claude status page when watched, then Claude usage when its automatic refresh is on.
    static QCoro::Task<> refreshClaudeItems(QPointer<AppViewModel> viewModel);
    static QCoro::Task<> refreshStatus(QPointer<AppViewModel> viewModel);
    static QCoro::Task<> refreshClaudeStatus(QPointer<AppViewModel> viewModel);
    // Only the latest of overlapping refreshes records its banked-reset reading and its result.
    static QCoro::Task<> refreshCodexCLIUsage(QPointer<AppViewModel> viewModel);
    static QCoro::Task<> refreshAPIRateLimits(QPointer<AppViewModel> viewModel);
    // The stored OpenAI API key; none when missing or unreadable for now.
    static QCoro::Task<std::optional<QString>> readAPIKeyFromKeychain(QPointer<AppViewModel> viewModel);

    // The Japanese text a failure shows.
    static QString errorDescription(const std::exception_ptr& error);

private:
    static QCoro::Task<> refreshStatusPage(QPointer<AppViewModel> viewModel, bool claude);
};

} // namespace vantorel
