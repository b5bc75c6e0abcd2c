#pragma once

#include "core/model/AppSettings.h"

#include <QPointer>

#include <QCoroTask>

namespace vantorel {

class AppViewModel;

// The reactions to an assignment of the settings record: persisting it, restarting the refresh
// timer, switching providers and their sources on and off, the notification state, the Discord
// worker and outbox, the automatic Claude recovery and the login item. Only fields that changed
// cause anything, except persisting and the recovery check, which run on every assignment.
// Work it starts runs on later turns; nothing of it runs inside the assignment.
class SettingsChangeHandler final
{
public:
    explicit SettingsChangeHandler(AppViewModel& viewModel);

    // Called right after the view model stored the new record, with the one it replaced.
    void settingsDidChange(const AppSettings& previous);

private:
    void switchCodex(bool on);
    void switchClaude(bool on);
    void updateAutomaticClaudeRecovery(const AppSettings& previous, const AppSettings& current);
    void start(QCoro::Task<> (AppViewModel::*operation)());
    static QCoro::Task<> readNotificationAuthorization(QPointer<AppViewModel> viewModel);

    AppViewModel& m_viewModel;
};

} // namespace vantorel
