#pragma once

#include <functional>

class QString;

namespace vantorel {

class AppViewModel;
class LoginItemService;

// Registers or removes the login item and reports the outcome in the view model's
// launch-at-login text and the log. The setting itself is never reverted here.
struct LaunchAtLogin
{
    LaunchAtLogin() = delete;

    // Runs a job away from the GUI thread, one job after another.
    using Executor = std::function<void(std::function<void()> job)>;

    static void update(AppViewModel& viewModel, const LoginItemService& service, bool enabled,
                       bool showSuccessMessage);
    // The same, with the durable write or the removal of the entry done by `executor` (a
    // background thread of its own by default) and the outcome reported on the GUI thread
    // afterwards. When no write is needed, everything happens at once.
    static void updateInBackground(AppViewModel& viewModel, const LoginItemService& service, bool enabled,
                                   bool showSuccessMessage, Executor executor = {});
};

} // namespace vantorel
