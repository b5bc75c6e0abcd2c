#include "app/viewmodel/LaunchAtLogin.h"

#include "app/platform/LoginItemService.h"
#include "app/viewmodel/AppViewModel.h"
#include "core/model/PlatformWords.h"

namespace vantorel {

namespace {

using LoginStatus = LoginItemService::Status;

void fail(AppViewModel& viewModel, bool enabled, const LoginItemError& error)
{
    viewModel.publishedState().launchAtLoginMessage = QStringLiteral("自動開始の設定に失敗しました: ") + error.message();
    viewModel.log(QStringLiteral("launchAtLogin.error enabled=") + (enabled ? QStringLiteral("true") : QStringLiteral("false"))
                  + u' ' + error.message());
}

void succeed(AppViewModel& viewModel, const QString& text, bool showSuccessMessage)
{
    if (showSuccessMessage)
        viewModel.setTransientLaunchAtLoginMessage(text);
    else
        viewModel.publishedState().launchAtLoginMessage.reset();
}

} // namespace

void LaunchAtLogin::update(AppViewModel& viewModel, const LoginItemService& service, bool enabled,
                           bool showSuccessMessage)
{
    LoginStatus status = service.status();
    if (enabled) {
        if (status != LoginStatus::enabled && status != LoginStatus::requiresApproval) {
            try {
                service.registerApp();
            } catch (const LoginItemError& error) {
                fail(viewModel, true, error);
                return;
            }
            status = service.status();
        }
        if (status == LoginStatus::requiresApproval) {
            viewModel.publishedState().launchAtLoginMessage
                = QStringLiteral("自動開始には、") + PlatformWords::autostartSettings + QStringLiteral("でこのアプリを有効にしてください。");
            viewModel.log(QStringLiteral("launchAtLogin.requiresApproval"));
            return;
        }
        succeed(viewModel, QStringLiteral("自動開始を有効にしました。"), showSuccessMessage);
        viewModel.log(QStringLiteral("launchAtLogin.enabled"));
        return;
    }
    if (status == LoginStatus::enabled || service.status() == LoginStatus::requiresApproval) {
        try {
            service.unregisterApp();
        } catch (const LoginItemError& error) {
            fail(viewModel, false, error);
            return;
        }
    }
    succeed(viewModel, QStringLiteral("自動開始を無効にしました。"), showSuccessMessage);
    viewModel.log(QStringLiteral("launchAtLogin.disabled"));
}

} // namespace vantorel
