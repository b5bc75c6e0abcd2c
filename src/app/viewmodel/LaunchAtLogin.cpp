#include "app/viewmodel/LaunchAtLogin.h"

#include "app/platform/LoginItemService.h"
#include "app/viewmodel/AppViewModel.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include <optional>

namespace vantorel {

namespace {

using LoginStatus = LoginItemService::Status;

void fail(AppViewModel& viewModel, bool enabled, const QString& error)
{
    viewModel.publishedState().launchAtLoginMessage = QStringLiteral("自動開始の設定に失敗しました: ") + error;
    viewModel.log(QStringLiteral("launchAtLogin.error enabled=") + (enabled ? QStringLiteral("true") : QStringLiteral("false"))
                  + u' ' + error);
}

void succeed(AppViewModel& viewModel, const QString& text, bool showSuccessMessage)
{
    if (showSuccessMessage)
        viewModel.setTransientLaunchAtLoginMessage(text);
    else
        viewModel.publishedState().launchAtLoginMessage.reset();
}

// Whether the entry has to be written (enabling) or removed (disabling).
bool needsChange(LoginStatus status, bool enabled)
{
    if (enabled)
        return status != LoginStatus::enabled && status != LoginStatus::requiresApproval;
    return status == LoginStatus::enabled || status == LoginStatus::requiresApproval;
}

// What a change left behind: the failure's text, if any, and the entry's status afterwards.
struct ChangeOutcome
{
    std::optional<QString> error;
    LoginStatus status;
};

// Writes or removes the entry and, after writing, reads its status back. Touches only the file
// system.
ChangeOutcome change(const LoginItemService& service, bool enabled)
{
    try {
        if (enabled)
            service.registerApp();
        else
            service.unregisterApp();
    } catch (const LoginItemError& error) {
        return {error.message(), LoginStatus::notRegistered};
    }
    return {std::nullopt, enabled ? service.status() : LoginStatus::notRegistered};
}

void report(AppViewModel& viewModel, bool enabled, bool showSuccessMessage, const ChangeOutcome& outcome)
{
    if (outcome.error) {
        fail(viewModel, enabled, *outcome.error);
        return;
    }
    if (!enabled) {
        succeed(viewModel, QStringLiteral("自動開始を無効にしました。"), showSuccessMessage);
        viewModel.log(QStringLiteral("launchAtLogin.disabled"));
        return;
    }
    if (outcome.status == LoginStatus::requiresApproval) {
        viewModel.publishedState().launchAtLoginMessage
            = QStringLiteral("自動開始には、デスクトップの自動起動設定でこのアプリを有効にしてください。");
        viewModel.log(QStringLiteral("launchAtLogin.requiresApproval"));
        return;
    }
    succeed(viewModel, QStringLiteral("自動開始を有効にしました。"), showSuccessMessage);
    viewModel.log(QStringLiteral("launchAtLogin.enabled"));
}

// One thread, so that a quick enable and disable reach the file in the order they were asked;
// it waits for a write still running when the process ends.
void runInOrder(std::function<void()> job)
{
    static QThreadPool pool;
    pool.setMaxThreadCount(1);
    pool.start(std::move(job));
}

} // namespace

void LaunchAtLogin::update(AppViewModel& viewModel, const LoginItemService& service, bool enabled,
                           bool showSuccessMessage)
{
    const LoginStatus status = service.status();
    const auto outcome = needsChange(status, enabled) ? change(service, enabled) : ChangeOutcome{std::nullopt, status};
    report(viewModel, enabled, showSuccessMessage, outcome);
}

void LaunchAtLogin::updateInBackground(AppViewModel& viewModel, const LoginItemService& service, bool enabled,
                                       bool showSuccessMessage, Executor executor)
{
    const LoginStatus status = service.status();
    if (!needsChange(status, enabled)) {
        report(viewModel, enabled, showSuccessMessage, {std::nullopt, status});
        return;
    }
    if (!executor)
        executor = runInOrder;
    const QPointer<AppViewModel> target(&viewModel);
    executor([target, service, enabled, showSuccessMessage] {
        auto outcome = change(service, enabled);
        auto* application = QCoreApplication::instance();
        if (!application)
            return;
        QMetaObject::invokeMethod(
            application,
            [target, enabled, showSuccessMessage, outcome = std::move(outcome)] {
                if (target)
                    report(*target, enabled, showSuccessMessage, outcome);
            },
            Qt::QueuedConnection);
    });
}

} // namespace vantorel
