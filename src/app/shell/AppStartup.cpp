#include "app/shell/AppStartup.h"

#include "app/platform/ClaudeCodeCredentialFileReader.h"
#include "app/platform/ClaudeCodeTokenStore.h"
#include "app/platform/FreedesktopNotificationBackend.h"
#include "app/platform/KeychainStore.h"
#include "app/platform/LogindManager.h"
#include "app/platform/LogindSession.h"
#include "app/platform/MacBackgroundMonitoring.h"
#include "app/platform/MacClaudeLoginAvailability.h"
#include "app/platform/NotificationManager.h"
#include "app/platform/ScreenSaverMonitor.h"
#include "app/platform/SecretServiceStore.h"
#include "app/platform/UPowerMonitor.h"
#include "app/shell/DesktopAppearance.h"
#include "app/shell/TerminationSignals.h"
#include "app/ui/ApplicationPalette.h"
#include "app/viewmodel/AppViewModel.h"
#include "core/foundation/AppDiagnostics.h"
#include "core/foundation/JsonFileSettingsStore.h"
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

#include <QApplication>
#include <QPointer>

namespace vantorel {

namespace {

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
    dependencies.notificationManager
        = std::make_shared<NotificationManager>(std::make_shared<FreedesktopNotificationBackend>());
    return dependencies;
}

// The cloud snapshot store over the local-directory database, with the account-change notifier
// that the store and the cloud sync coordinator both listen to.
struct CloudSnapshotServices
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

} // namespace

int runApplication(QApplication& app)
{
    QCoreApplication::setApplicationName(QStringLiteral("Vantorel"));
    // A tray application: closing its last window never quits it.
    QApplication::setQuitOnLastWindowClosed(false);

    DesktopAppearance appearance(QDBusConnection::sessionBus());
    ApplicationPalette::install(appearance);

    const auto versionAndBuild = AppDiagnostics::versionAndBuild();
    AppDiagnostics::log(QStringLiteral("app.start version=") + versionAndBuild.version + QStringLiteral(" (")
                        + versionAndBuild.build + QStringLiteral(") bundle=") + QCoreApplication::applicationFilePath());

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &app, &QCoreApplication::quit);

    // Session, lock, power and sleep state, kept current by signals of the desktop's services.
    const QDBusConnection systemBus = QDBusConnection::systemBus();
    LogindManager logind(systemBus);
    LogindSession session(systemBus);
    UPowerMonitor power(systemBus);
    ScreenSaverMonitor screenSaver(QDBusConnection::sessionBus());
    session.start();
    power.start();
    screenSaver.start();
    MacClaudeLoginAvailability loginAvailability(&session, &screenSaver);

    auto defaults = std::make_shared<JsonFileSettingsStore>();
    const CloudSnapshotServices cloud(LocalDirectoryCloudDatabase::defaultRoot());
    auto dependencies = applicationDependencies(defaults);
    dependencies.claudeLoginAvailability = &loginAvailability;
    // The view model logs "app.willTerminate" itself.
    auto viewModel = std::make_unique<AppViewModel>(std::move(dependencies));

    // Cloud sync has no switch here yet: the monitor runs as with sync off.
    MacBackgroundMonitoring monitoring(&logind, &power);
    const QPointer<AppViewModel> core(viewModel.get());
    MacBackgroundMonitoring::Core observed;
    observed.subscribe = [core](QObject* context, std::function<void()> callback) {
        return QObject::connect(core, &AppViewModel::changed, context, std::move(callback));
    };
    observed.settings = [core] { return core ? core->settings() : AppSettings(); };
    observed.refreshScheduledItems = [core] {
        if (core)
            core->startTask([core] { return core->refreshScheduledItems(); });
    };
    monitoring.observe(std::move(observed), nullptr);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&defaults] { defaults->flush(); });

    const int exitCode = app.exec();
    viewModel.reset();
    defaults->flush();
    AppDiagnostics::flush();
    return exitCode;
}

} // namespace vantorel
