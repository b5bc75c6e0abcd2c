#pragma once

#include "app/shell/StartupSettings.h"
#include "app/window/PopoverPage.h"

#include <future>
#include <memory>

class QApplication;
class QWidget;

namespace vantorel {

class AppLifecycleDelegate;
class AppViewModel;
class DesktopAppearance;
class LogindManager;
class LogindSession;
class MacBackgroundMonitoring;
class MacClaudeLoginAvailability;
class MacCloudSyncCoordinator;
class MacSyncCoordinator;
class MemoryHousekeeping;
class Pasteboard;
class ScreenSaverMonitor;
class SleepPreparation;
class SingleInstance;
class StatusItemController;
class TerminationSignals;
class UnplannedExit;
class UPowerMonitor;

// The composition root: the one place that builds the long-lived objects of the process, in
// start-up order, and connects them. Everything lives until the process ends; nothing is
// replaced. GUI thread only.
class VantorelApp final
{
public:
    // `settings` is the settings file as read on another thread while the GUI started. When another
    // copy is running, it takes over and builds the rest only once that copy has gone, over the
    // file read again.
    VantorelApp(QApplication& app, std::future<StartupSettings> settings);
    ~VantorelApp();

    // Runs the event loop until the application quits or SIGTERM/SIGINT/SIGHUP arrives, then
    // writes out the settings and the log. Returns the exit code.
    int exec();

    // Once started over the settings.
    AppViewModel& viewModel() const { return *m_viewModel; }
    // Built on first use.
    MacSyncCoordinator& syncCoordinator();
    MacCloudSyncCoordinator& cloudSyncCoordinator();

private:
    struct CloudSnapshotServices;
    struct LocalSyncServices;
    struct SyncServices;

    // The sync coordinators, the cloud store and the background monitor: built on first use, so
    // after the tray item unless something needs them sooner, and over the stored usage history
    // (waiting for its decoding if that still runs), since their first snapshot carries it.
    SyncServices& syncServices();
    // Builds the settings store over what was read, the view model and the tray item.
    void startWith(std::future<StartupSettings> settings);
    // Launching has finished: the sync services and the launch window, once the stored usage
    // history is in. The first call counts: the tray host's first read of the picture, or the
    // bound for hosts that never tell.
    void finishLaunching();
    // A root view over the shared objects, for the main window and the popover.
    QWidget* makeContentView(PopoverPage page = PopoverPage::main);

    QApplication& m_app;
    std::unique_ptr<DesktopAppearance> m_appearance;
    std::unique_ptr<AppLifecycleDelegate> m_delegate;
    std::unique_ptr<TerminationSignals> m_termination;
    std::unique_ptr<SingleInstance> m_singleInstance;
    std::unique_ptr<LogindManager> m_logind;
    std::unique_ptr<LogindSession> m_session;
    std::unique_ptr<UPowerMonitor> m_power;
    std::unique_ptr<ScreenSaverMonitor> m_screenSaver;
    std::unique_ptr<MacClaudeLoginAvailability> m_loginAvailability;
    std::shared_ptr<JsonFileSettingsStore> m_defaults;
    // Armed until the process returns through main.
    std::unique_ptr<UnplannedExit> m_unplannedExit;
    std::unique_ptr<SleepPreparation> m_sleepPreparation;
    // Before the view model and the tray item, whose closings and bursts it hears until they go.
    std::unique_ptr<MemoryHousekeeping> m_housekeeping;
    std::unique_ptr<AppViewModel> m_viewModel;
    std::unique_ptr<SyncServices> m_syncServices;
    bool m_launched = false;
    std::unique_ptr<Pasteboard> m_pasteboard;
    std::unique_ptr<StatusItemController> m_statusItemController;
};

} // namespace vantorel
