#pragma once

namespace vantorel {

class AppViewModel;
class LoginItemService;

// Registers or removes the login item and reports the outcome in the view model's
// launch-at-login text and the log. The setting itself is never reverted here.
struct LaunchAtLogin
{
    LaunchAtLogin() = delete;

    static void update(AppViewModel& viewModel, const LoginItemService& service, bool enabled,
                       bool showSuccessMessage);
};

} // namespace vantorel
