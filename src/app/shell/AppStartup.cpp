#include "app/shell/AppStartup.h"

#include "app/shell/DesktopAppearance.h"
#include "app/shell/TerminationSignals.h"
#include "app/ui/ApplicationPalette.h"
#include "core/foundation/AppDiagnostics.h"

#include <QApplication>

namespace vantorel {

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
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] { AppDiagnostics::log(QStringLiteral("app.willTerminate")); });

    const int exitCode = app.exec();
    AppDiagnostics::flush();
    return exitCode;
}

} // namespace vantorel
