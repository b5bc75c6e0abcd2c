#include "app/shell/AppStartup.h"
#include "app/shell/GraphicalSession.h"
#include "app/shell/MemoryHousekeeping.h"
#include "app/shell/StartupSettings.h"
#include "app/shell/TerminationSignals.h"
#include "core/foundation/JsonFileSettingsStore.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    // A SIGTERM during start-up ends the process as a quit does, once the event loop runs.
    vantorel::TerminationSignals::catchEarly();
    vantorel::MemoryHousekeeping::tuneHeapForIdling();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (!vantorel::GraphicalSession::available(QProcessEnvironment::systemEnvironment(), arguments)) {
        std::fprintf(stderr, "%s\n", vantorel::GraphicalSession::missingMessage().toLocal8Bit().constData());
        return 1;
    }
    // The settings file is read while the GUI connects to the display.
    auto settings = vantorel::StartupSettings::readInBackground(vantorel::JsonFileSettingsStore::defaultFilePath());
    QApplication app(argc, argv);
    return vantorel::runApplication(app, std::move(settings));
}
