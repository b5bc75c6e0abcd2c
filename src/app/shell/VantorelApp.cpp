#include "app/shell/VantorelApp.h"

#include "app/platform/ClaudeCodeCredentialFileReader.h"
#include "app/platform/ClaudeCodeTokenStore.h"
#include "app/platform/FreedesktopNotificationBackend.h"
#include "app/platform/KeychainStore.h"
#include "app/platform/LogindManager.h"
#include "app/platform/LocalHostName.h"
#include "app/platform/LogindSession.h"
#include "app/platform/LoginItemService.h"
#include "app/platform/MacBackgroundMonitoring.h"
#include "app/platform/MacClaudeLoginAvailability.h"
#include "app/platform/NotificationManager.h"
#include "app/platform/QtPasteboard.h"
#include "app/platform/ScreenSaverMonitor.h"
#include "app/platform/SleepPreparation.h"
#include "app/platform/SecretServiceStore.h"
#include "app/platform/UPowerMonitor.h"
#include "app/platform/SystemTrayStatusItemBackend.h"
#include "app/setup/MacInitialSetupView.h"
#include "app/setup/MacOnboardingView.h"
#include "app/shell/AppLifecycleBridge.h"
#include "app/syncui/MacCloudSyncCoordinator.h"
#include "app/syncui/MacSyncCoordinator.h"
#include "app/syncui/MacSyncKeychainStorage.h"
#include "app/shell/AppLifecycleDelegate.h"
#include "app/shell/MemoryHousekeeping.h"
#include "app/ui/ApplicationResources.h"
#include "app/ui/DesktopAppearance.h"
#include "app/ui/MenuBarGaugeImageRenderer.h"
#include "app/shell/SingleInstance.h"
#include "app/shell/StatusItemController.h"
#include "app/shell/StatusItemPopover.h"
#include "app/shell/TerminationSignals.h"
#include "app/shell/UnplannedExit.h"
#include "app/ui/ApplicationPalette.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/LaunchAtLogin.h"
#include "app/viewmodel/StoredState.h"
#include "app/window/ContentView.h"
#include "app/window/HistoryPanel.h"
#include "app/window/MainPanel.h"
#include "app/window/ManualInputPanel.h"
#include "app/window/SettingsPanel.h"
#include "core/foundation/AppDiagnostics.h"
#include "core/foundation/JsonFileSettingsStore.h"
#include "core/foundation/TaskUnwinding.h"
#include "core/foundation/TimerSleeper.h"
#include "core/rules/DiscordWebhookService.h"
#include "core/rules/DiscordWebhookURLCache.h"
#include "core/sources/ClaudeUsageService.h"
#include "core/sources/CodexCLIUsageService.h"
#include "core/sources/OpenAIRateService.h"
#include "core/sources/StatusService.h"
#include "sync/cloud/CloudAccountChangeNotifier.h"
#include "sync/cloud/CloudKitDatabaseClient.h"
#include "sync/cloud/CloudKitSnapshotStore.h"
#include "sync/cloud/LocalDirectoryCloudDatabase.h"
#include "sync/net/AvahiDnsSdPublisher.h"
#include "sync/net/LocalSyncServer.h"
#include "sync/net/QtSyncNetworkServices.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

namespace vantorel {

namespace {

// Cancelled tasks finish in a few turns or once their child process is reaped; the bound only
// guards against one that never ends.
constexpr std::chrono::milliseconds maximumUnwindTime{3000};

// A tray host reads a new item's picture a couple of bus round trips after it registers, well
// within this; a window shown this much later still appears at once to the eye. The bound for
// hosts that never tell, and for the fallback panel.
constexpr int launchWindowDelayMilliseconds = 100;

// The real services, one of each.
AppViewModelDependencies applicationDependencies(std::shared_ptr<JsonFileSettingsStore> defaults)
{
    AppViewModelDependencies dependencies;
    dependencies.defaults = std::move(defaults);
    dependencies.statusService = std::make_shared<StatusService>(StatusService::openAIEndpoint());
    dependencies.claudeStatusService = std::make_shared<StatusService>(StatusService::claudeEndpoint());
    dependencies.rateService = std::make_shared<OpenAIRateService>();
    dependencies.codexCLIUsageService = std::make_shared<CodexCLIUsageService>();
    dependencies.claudeUsageService = std::make_shared<ClaudeUsageService>();
    dependencies.discordWebhookService = std::make_shared<DiscordWebhookService>();
    dependencies.discordWebhookURLCache = std::make_shared<DiscordWebhookURLCache>();
    dependencies.claudeCodeTokenStore
        = std::make_shared<ClaudeCodeTokenStore>(std::make_shared<ClaudeCodeCredentialFileReader>());
    dependencies.keychainStore = std::make_shared<KeychainStore>(std::make_shared<SecretServiceStore>());
    dependencies.automaticallyStartServices = true;
    FreedesktopNotificationBackend::Options notificationOptions;
    notificationOptions.picture = ApplicationResources::applicationIcon();
    dependencies.notificationManager = std::make_shared<NotificationManager>(
        std::make_shared<FreedesktopNotificationBackend>(QDBusConnection::sessionBus(), notificationOptions));
    dependencies.updateLaunchAtLogin = [](AppViewModel& viewModel, bool enabled, bool showSuccessMessage) {
        LaunchAtLogin::updateInBackground(viewModel, LoginItemService::mainApp(), enabled, showSuccessMessage);
    };
    return dependencies;
}

} // namespace

// The cloud snapshot store over the local-directory database, with the account-change notifier
// that the store and the cloud sync coordinator both listen to.
struct VantorelApp::CloudSnapshotServices
{
    explicit CloudSnapshotServices(const QString& root)
        : notifier(root)
        , store(std::make_shared<CloudKitSnapshotStore>(
              std::make_shared<CloudKitDatabaseClient>(std::make_shared<LocalDirectoryCloudDatabase>(root), sleeper),
              &notifier))
    {
    }

    TimerSleeper sleeper;
    CloudAccountChangeNotifier notifier;
    std::shared_ptr<CloudKitSnapshotStore> store;
};

// What every local sync server the coordinator starts runs on: the LAN listeners advertised
// through Avahi, and a real-time sleeper for its pairing expiry.
struct VantorelApp::LocalSyncServices
{
    LocalSyncServices()
        : network(&publisher)
    {
    }

    MacSyncCoordinator::ServerFactory serverFactory()
    {
        return [this](const QUuid& hostID, const QString& hostName) -> std::unique_ptr<MacSyncServing> {
            return std::make_unique<LocalSyncServer>(hostID, hostName, network, sleeper, systemClock(), true,
                                                     &provenAddresses);
        };
    }

    MacSyncCoordinator::DiscoveryCheck discoveryCheck()
    {
        return [this](DnsSdPublisher::AvailabilityHandler done) { network.checkAdvertising(std::move(done)); };
    }

    AvahiDnsSdPublisher publisher;
    QtSyncNetworkServices network;
    TimerSleeper sleeper;
    // Where the registered device proved its key from, kept across the servers started for it.
    ProvenAddressBook provenAddresses;
};

// What syncs the state to paired devices and the cloud, and the background monitor that follows
// the cloud coordinator: one unit, built once.
struct VantorelApp::SyncServices
{
    std::unique_ptr<CloudSnapshotServices> cloud;
    std::unique_ptr<LocalSyncServices> localSync;
    std::unique_ptr<MacSyncCoordinator> sync;
    std::unique_ptr<MacCloudSyncCoordinator> cloudSync;
    std::unique_ptr<MacBackgroundMonitoring> monitoring;
};

VantorelApp::VantorelApp(QApplication& app, std::future<StartupSettings> settings)
    : m_app(app)
{
    QCoreApplication::setApplicationName(QStringLiteral("Vantorel"));
    // A tray application: closing its last window never quits it.
    QApplication::setQuitOnLastWindowClosed(false);
    // Windows show it, and the menu-bar gauge draws it when no service is shown.
    QGuiApplication::setWindowIcon(ApplicationResources::applicationIcon());

    m_appearance = std::make_unique<DesktopAppearance>(QDBusConnection::sessionBus());
    ApplicationPalette::install(*m_appearance);

    m_delegate = std::make_unique<AppLifecycleDelegate>();
    const auto versionAndBuild = AppDiagnostics::versionAndBuild();
    AppDiagnostics::log(QStringLiteral("app.start version=") + versionAndBuild.version + QStringLiteral(" (")
                        + versionAndBuild.build + QStringLiteral(") bundle=") + QCoreApplication::applicationFilePath());

    // Every way out (quit, a newer copy taking over, SIGTERM) returns from exec(), which writes
    // out the settings and the log.
    m_termination = std::make_unique<TerminationSignals>();
    QObject::connect(m_termination.get(), &TerminationSignals::terminationRequested, &app, &QCoreApplication::quit);
    m_singleInstance = std::make_unique<SingleInstance>(QDBusConnection::sessionBus());
    QObject::connect(m_singleInstance.get(), &SingleInstance::nameLost, &app, &QCoreApplication::quit);
    const bool replacing = m_singleInstance->terminateOtherRunningInstances();

    // Session, lock, power and sleep state, kept current by signals of the desktop's services.
    const QDBusConnection systemBus = QDBusConnection::systemBus();
    m_logind = std::make_unique<LogindManager>(systemBus);
    m_session = std::make_unique<LogindSession>(systemBus);
    m_power = std::make_unique<UPowerMonitor>(systemBus);
    m_screenSaver = std::make_unique<ScreenSaverMonitor>(QDBusConnection::sessionBus());
    m_session->start();
    m_power->start();
    m_screenSaver->start();
    m_loginAvailability = std::make_unique<MacClaudeLoginAvailability>(m_session.get(), m_screenSaver.get());

    if (!replacing) {
        startWith(std::move(settings));
        return;
    }
    // The copy being replaced writes its last state as it quits, after this one read the file at
    // start: that read goes unused, and the file is read again once the copy has gone. Nothing of
    // what it keeps is read or written here before.
    QObject::connect(m_singleInstance.get(), &SingleInstance::replacedInstanceGone, m_delegate.get(), [this] {
        startWith(StartupSettings::readInBackground(JsonFileSettingsStore::defaultFilePath()));
    });
}

void VantorelApp::startWith(std::future<StartupSettings> settings)
{
    // The tray item's platform half asks the session bus how Qt is to draw it, in blocking round
    // trips, and reads no setting: it is made while the settings thread may still be decoding.
    auto statusItemBackend = std::make_unique<SystemTrayStatusItemBackend>(QDBusConnection::sessionBus());
    StartupSettings startup = settings.get();
    m_defaults = std::make_shared<JsonFileSettingsStore>(std::move(startup.contents), JsonFileSettingsStore::defaultFilePath());
    auto dependencies = applicationDependencies(m_defaults);
    dependencies.claudeLoginAvailability = m_loginAvailability.get();
    // The tray item is drawn from the settings and the last readings; the usage history, the
    // longest part of the load, is decoded once it is made.
    dependencies.usageHistoryLater = true;
    // The view model logs "app.willTerminate" itself.
    m_viewModel = std::make_unique<AppViewModel>(std::move(dependencies));
    m_housekeeping = std::make_unique<MemoryHousekeeping>();
    QObject::connect(m_viewModel.get(), &AppViewModel::startUpFinished, m_housekeeping.get(),
                     &MemoryHousekeeping::startUpDone);
    QObject::connect(m_viewModel.get(), &AppViewModel::refreshFinished, m_housekeeping.get(),
                     &MemoryHousekeeping::refreshBurstDone);

    // The tray item comes right after the state it draws: the sync, cloud and background services
    // are built once the tray host has read its first picture.
    QObject::connect(statusItemBackend.get(), &StatusItemBackend::firstPictureRead, m_delegate.get(),
                     [this] { finishLaunching(); });
    m_pasteboard = std::make_unique<QtPasteboard>();
    m_statusItemController = std::make_unique<StatusItemController>(
        *m_viewModel, StatusItemController::Dependencies{
                          .backend = std::move(statusItemBackend),
                          .rendererEnvironment = MenuBarGaugeImageRenderer::systemEnvironment(*m_appearance),
                          .popoverContent = [this] { return makeContentView(); },
                          .mainWindowContent = [this](PopoverPage page) { return makeContentView(page); },
                          .mainWindowClosed =
                              [housekeeping = QPointer<MemoryHousekeeping>(m_housekeeping.get())] {
                                  if (housekeeping)
                                      housekeeping->windowClosed();
                              },
                          .log = {}});
    QObject::connect(&m_statusItemController->popover(), &StatusItemPopover::closed, m_housekeeping.get(),
                     &MemoryHousekeeping::popoverClosed);

    const QPointer<AppViewModel> core(m_viewModel.get());
    const QPointer<StatusItemController> controller(m_statusItemController.get());
    AppLifecycleBridge::showMainWindow = [controller](const QString& reason) {
        if (controller)
            controller->showMainWindow(reason);
    };
    AppLifecycleBridge::refreshScheduledItems = [core](const QString& reason) {
        if (core)
            core->requestRefresh(reason);
    };

    QObject::connect(m_session.get(), &LogindSession::becameActive, m_delegate.get(),
                     &AppLifecycleDelegate::sessionDidBecomeActive, Qt::QueuedConnection);
    // Storage that failed may be back (a remounted home, an unlocked volume): settings a failed
    // write left out are written again rather than waiting out the back-off.
    const auto retryUnsavedSettings = [defaults = m_defaults] { defaults->retryUnsaved(); };
    QObject::connect(m_session.get(), &LogindSession::becameActive, m_session.get(), retryUnsavedSettings);
    QObject::connect(m_logind.get(), &LogindManager::resumedFromSleep, m_logind.get(), retryUnsavedSettings);
    // Ways out that never return from exec() write out first too: the display lost (Qt ends the
    // process from inside the event loop), and a machine that sleeps and never wakes.
    m_unplannedExit = std::make_unique<UnplannedExit>([defaults = m_defaults] {
        defaults->flushAtQuit();
        AppDiagnostics::flush();
    });
    m_sleepPreparation = std::make_unique<SleepPreparation>(m_logind.get(), [defaults = m_defaults] { defaults->flush(); });
    QObject::connect(m_singleInstance.get(), &SingleInstance::activateRequested, m_delegate.get(), [this] {
        const QWidget* window = m_statusItemController->mainWindow();
        m_delegate->applicationShouldHandleReopen(window && window->isVisible() && !window->isMinimized());
    });
    // Launching has finished once the tray host has read the item's first picture: building the
    // sync services or the launch window first would keep it waiting.
    QTimer::singleShot(launchWindowDelayMilliseconds, m_delegate.get(), [this] { finishLaunching(); });
    QObject::connect(&m_app, &QCoreApplication::aboutToQuit, [defaults = m_defaults] { defaults->flush(); });
}

VantorelApp::~VantorelApp() = default;

void VantorelApp::finishLaunching()
{
    if (std::exchange(m_launched, true))
        return;
    // The first snapshot of the sync services carries the usage history: they come once it is in.
    m_viewModel->storedState().whenUsageHistoryLoaded(m_delegate.get(), [this] {
        syncServices();
        m_delegate->applicationDidFinishLaunching();
    });
}

MacSyncCoordinator& VantorelApp::syncCoordinator()
{
    return *syncServices().sync;
}

MacCloudSyncCoordinator& VantorelApp::cloudSyncCoordinator()
{
    return *syncServices().cloudSync;
}

VantorelApp::SyncServices& VantorelApp::syncServices()
{
    if (m_syncServices)
        return *m_syncServices;
    m_viewModel->storedState().finishLoadingUsageHistory();
    auto services = std::make_unique<SyncServices>();
    services->cloud = std::make_unique<CloudSnapshotServices>(LocalDirectoryCloudDatabase::defaultRoot());
    // The local sync coordinator comes before the cloud one, which follows its snapshots.
    services->localSync = std::make_unique<LocalSyncServices>();
    auto& sync = services->sync;
    sync = std::make_unique<MacSyncCoordinator>(
        m_defaults, std::make_shared<MacSyncKeychainStorage>(std::make_shared<SecretServiceStore>()),
        LocalHostName::current(), systemClock(), std::make_shared<TimerSleeper>(), services->localSync->serverFactory(),
        services->localSync->discoveryCheck());
    sync->observe<AppViewModel>(m_viewModel.get(),
                                [](const AppViewModel& viewModel) { return MacSyncDisplayInput::capture(viewModel); });
    QObject::connect(m_logind.get(), &LogindManager::resumedFromSleep, sync.get(), &MacSyncCoordinator::handleSystemWake);
    services->cloudSync = std::make_unique<MacCloudSyncCoordinator>(
        sync->hostID(), services->cloud->store, m_defaults, systemClock(), std::make_shared<TimerSleeper>(),
        &services->cloud->notifier);
    services->cloudSync->observe(*sync);

    services->monitoring = std::make_unique<MacBackgroundMonitoring>(m_logind.get(), m_power.get());
    const QPointer<AppViewModel> core(m_viewModel.get());
    MacBackgroundMonitoring::Core observed;
    observed.subscribe = [core](QObject* context, std::function<void()> callback) {
        return QObject::connect(core, &AppViewModel::changed, context, std::move(callback));
    };
    observed.settings = [core] { return core ? core->settings() : AppSettings(); };
    observed.refreshScheduledItems = [core] {
        if (core)
            core->startTask([core] { return core->refreshScheduledItems(); });
    };
    services->monitoring->observe(std::move(observed), services->cloudSync.get());
    m_syncServices = std::move(services);
    return *m_syncServices;
}

QWidget* VantorelApp::makeContentView(PopoverPage page)
{
    const SyncServices& services = syncServices();
    ContentEnvironment environment;
    environment.viewModel = m_viewModel.get();
    // The view model's: one opener keeps every handler it started, whoever asked.
    environment.urlOpener = m_viewModel->dependencies().urlOpener.get();
    environment.syncCoordinator = services.sync.get();
    environment.cloudCoordinator = services.cloudSync.get();
    environment.pasteboard = m_pasteboard.get();
    environment.sleeper = std::make_shared<TimerSleeper>();
    environment.quit = [] { QCoreApplication::quit(); };
    environment.openCodexCLI = [viewModel = QPointer<AppViewModel>(m_viewModel.get())] {
        if (viewModel)
            viewModel->openCodexCLI();
    };
    ContentPages pages;
    pages.manual = [](const ContentEnvironment& environment, Binding<PopoverPage> page) {
        return new ManualInputPanel(*environment.viewModel, std::move(page), environment.pasteboard);
    };
    pages.main = [](const ContentEnvironment& environment, Binding<PopoverPage> page) {
        return new MainPanel(environment, std::move(page));
    };
    pages.history = [](const ContentEnvironment& environment, Binding<PopoverPage>) -> QWidget* {
        return new HistoryPanel(*environment.viewModel);
    };
    pages.settings = [](const ContentEnvironment& environment, Binding<PopoverPage> page) {
        return new SettingsPanel(environment, std::move(page));
    };
    pages.setup = [](const ContentEnvironment& environment, ContentPages::Action dismiss,
                     ContentPages::Action proceedToSetup) {
        return new MacOnboardingView(*environment.viewModel, std::move(dismiss), std::move(proceedToSetup));
    };
    pages.initialSetup = [](const ContentEnvironment& environment, MacInitialSetupDraft draft,
                            ContentPages::Action dismiss) -> QWidget* {
        return new MacInitialSetupView(*environment.viewModel, environment.syncCoordinator,
                                       environment.cloudCoordinator, std::move(draft), std::move(dismiss));
    };
    return new ContentView(std::move(environment), std::move(pages), page);
}

int VantorelApp::exec()
{
    const int exitCode = m_app.exec();
    // Its hooks (the launch bound, an activation from the bus, the session becoming active, the
    // start once a replaced copy has gone) reach the objects that go next, and the waits below run
    // the event loop again.
    m_delegate.reset();
    // A copy replaced while it still waited for the one before it stays until that one has gone
    // (the grace time bounds it): the copy after it waits only for this one.
    while (m_singleInstance->waitingForReplacedInstance())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    m_statusItemController.reset();
    if (m_syncServices) {
        m_syncServices->monitoring.reset();
        m_syncServices->cloudSync.reset();
        m_syncServices->sync.reset();
    }
    m_viewModel.reset();
    // The tasks the view model cancelled resume on later turns, some only once a killed child
    // has been reaped: let them unwind and free their frames before the process ends.
    if (const int remaining = unwindSuspendedTasks(maximumUnwindTime); remaining > 0)
        AppDiagnostics::log(QStringLiteral("app.unwind remaining=") + QString::number(remaining));
    if (m_defaults)
        m_defaults->flushAtQuit();
    AppDiagnostics::flush();
    return exitCode;
}

} // namespace vantorel
