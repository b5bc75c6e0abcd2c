#pragma once

#include <functional>
#include <memory>

class QString;
class QUrl;

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
    // Quits the application; logs nothing itself (see quitApplication).
    std::function<void()> quit;
    // Opens the Codex CLI in a terminal.
    std::function<void()> openCodexCLI;

    // Opens a web page. When nothing took it or its handler failed, logs that and has the view
    // model say it in the window; `name` is the label of the button that asked.
    void openPage(const QUrl& url, const QString& name) const;

    // What "終了" and Ctrl+Q do: logs "app.quitRequested", then runs `quit`.
    void quitApplication() const;
};

} // namespace vantorel
