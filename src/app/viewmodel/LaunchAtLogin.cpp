#include "app/viewmodel/LaunchAtLogin.h"

#include "app/platform/LoginItemService.h"
#include "app/viewmodel/AppViewModel.h"
#include "core/model/PlatformWords.h"

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
bool needsChange(const LoginItemService& service, bool enabled)
{
    const LoginStatus status = service.status();
    if (enabled)
        return status != LoginStatus::enabled && status != LoginStatus::requiresApproval;
    return status == LoginStatus::enabled || service.status() == LoginStatus::requiresApproval;
}

// Writes or removes the entry; the failure's text, if any. Touches only the file system.
std::optional<QString> change(const LoginItemService& service, bool enabled)
{
    try {
        if (enabled)
            service.registerApp();
        else
            service.unregisterApp();
    } catch (const LoginItemError& error) {
        return error.message();
    }
    return std::nullopt;
}

void report(AppViewModel& viewModel, const LoginItemService& service, bool enabled, bool showSuccessMessage,
            const std::optional<QString>& error)
{
    if (error) {
        fail(viewModel, enabled, *error);
        return;
    }
    if (!enabled) {
        succeed(viewModel, QStringLiteral("自動開始を無効にしました。"), showSuccessMessage);
        viewModel.log(QStringLiteral("launchAtLogin.disabled"));
        return;
    }
    if (service.status() == LoginStatus::requiresApproval) {
        viewModel.publishedState().launchAtLoginMessage
            = QStringLiteral("自動開始には、") + PlatformWords::autostartSettings + QStringLiteral("でこのアプリを有効にしてください。");
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
    std::optional<QString> error;
    if (needsChange(service, enabled))
        error = change(service, enabled);
    report(viewModel, service, enabled, showSuccessMessage, error);
}

void LaunchAtLogin::updateInBackground(AppViewModel& viewModel, const LoginItemService& service, bool enabled,
                                       bool showSuccessMessage, Executor executor)
{
    if (!needsChange(service, enabled)) {
        report(viewModel, service, enabled, showSuccessMessage, std::nullopt);
        return;
    }
    if (!executor)
        executor = runInOrder;
    const QPointer<AppViewModel> target(&viewModel);
    executor([target, service, enabled, showSuccessMessage] {
        auto error = change(service, enabled);
        auto* application = QCoreApplication::instance();
        if (!application)
            return;
        QMetaObject::invokeMethod(
            application,
            [target, service, enabled, showSuccessMessage, error = std::move(error)] {
                if (target)
                    report(*target, service, enabled, showSuccessMessage, error);
            },
            Qt::QueuedConnection);
    });
}

} // namespace vantorel
