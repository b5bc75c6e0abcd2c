#pragma once

#include <functional>
#include <memory>

namespace vantorel {

class AppViewModel;
class MacSyncCoordinator;
class MacCloudSyncCoordinator;
class Pasteboard;
class Sleeper;
class UrlOpener;

// What every page of a root view may use. The host (main window or popover) fills it; the
// objects are owned elsewhere and outlive the views. The sync coordinators stay null until they
// are built; pages must cope.
struct ContentEnvironment {
    AppViewModel* viewModel = nullptr;
    MacSyncCoordinator* syncCoordinator = nullptr;
    MacCloudSyncCoordinator* cloudCoordinator = nullptr;
    Pasteboard* pasteboard = nullptr;
    // Timed work of the views themselves (clearing a pairing copy at its expiry).
    std::shared_ptr<Sleeper> sleeper;
    UrlOpener* urlOpener = nullptr;
    // Quits the application; logs nothing itself.
    std::function<void()> quit;
    // Opens the Codex CLI in a terminal.
    std::function<void()> openCodexCLI;
};

} // namespace vantorel
