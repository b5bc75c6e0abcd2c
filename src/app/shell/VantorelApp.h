#pragma once

#include <memory>

class QApplication;

namespace vantorel {

class AppViewModel;
class DesktopAppearance;
class JsonFileSettingsStore;
class LogindManager;
class LogindSession;
class MacBackgroundMonitoring;
class MacClaudeLoginAvailability;
class ScreenSaverMonitor;
class TerminationSignals;
class UPowerMonitor;

// The composition root: the one place that builds the long-lived objects of the process, in
// start-up order, and connects them. Everything lives until the process ends; nothing is
// replaced. GUI thread only.
class VantorelApp final
{
public:
    explicit VantorelApp(QApplication& app);
    ~VantorelApp();

    // Runs the event loop until the application quits or SIGTERM/SIGINT arrives, then writes out
    // the settings and the log. Returns the exit code.
    int exec();

    AppViewModel& viewModel() const { return *m_viewModel; }

private:
    struct CloudSnapshotServices;

    QApplication& m_app;
    std::unique_ptr<DesktopAppearance> m_appearance;
    std::unique_ptr<TerminationSignals> m_termination;
    std::unique_ptr<LogindManager> m_logind;
    std::unique_ptr<LogindSession> m_session;
    std::unique_ptr<UPowerMonitor> m_power;
    std::unique_ptr<ScreenSaverMonitor> m_screenSaver;
    std::unique_ptr<MacClaudeLoginAvailability> m_loginAvailability;
    std::shared_ptr<JsonFileSettingsStore> m_defaults;
    std::unique_ptr<CloudSnapshotServices> m_cloud;
    std::unique_ptr<AppViewModel> m_viewModel;
    std::unique_ptr<MacBackgroundMonitoring> m_monitoring;
};

} // namespace vantorel
