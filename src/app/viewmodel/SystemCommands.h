#pragma once

namespace vantorel {

class AppViewModel;

// The view model's operations that start other programs: the application itself again, and the
// Codex CLI in a terminal window.
struct SystemCommands
{
    SystemCommands() = delete;

    // Starts a detached shell that runs the executable again half a second later, then quits.
    // When the executable is gone or the shell cannot start, the application keeps running and
    // says why in the launch-at-login text.
    static void restartApp(AppViewModel& viewModel);
    // Runs the Codex CLI (the path from the settings, else "codex") in a new terminal window.
    static void openCodexCLI(AppViewModel& viewModel);
};

} // namespace vantorel
