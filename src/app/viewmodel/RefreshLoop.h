#pragma once

#include "core/foundation/CancelToken.h"
#include "core/model/MonitoredProvider.h"

#include <QPointer>
#include <QString>

#include <QCoroTask>

namespace vantorel {

class AppViewModel;

// Drives every refresh: the automatic loop sleeps until the schedule's earliest date and starts
// one task per due provider (never two for one provider); a manual refresh refreshes both
// providers at once and restarts every countdown. Both end with a Discord delivery pass.
class RefreshLoop final
{
public:
    // One sleep never lasts longer, so a changed wall clock is noticed within a day.
    static constexpr double maximumSleep = 86'400;

    explicit RefreshLoop(AppViewModel& viewModel);

    // (Re)starts the loop from the current settings; does nothing unless services start
    // automatically.
    void startRefreshTimer();
    // Starts the refresh of every due provider that is not refreshing already.
    void runDueProviderRefreshes();
    // Logs "refresh.requested reason=<reason>" and refreshes on a later turn, unless the view
    // model is gone by then.
    void requestRefresh(const QString& reason);

    // The manual refresh; a call while one runs returns at once.
    static QCoro::Task<> refreshScheduledItems(QPointer<AppViewModel> viewModel);

private:
    static QCoro::Task<> runLoop(QPointer<AppViewModel> viewModel, CancelToken token);
    static QCoro::Task<> refreshProvider(QPointer<AppViewModel> viewModel, MonitoredProvider provider, CancelToken token);
    static QCoro::Task<> refreshRequested(QPointer<AppViewModel> viewModel, QString reason);

    AppViewModel& m_viewModel;
};

} // namespace vantorel
