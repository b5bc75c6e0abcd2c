#include "app/shell/AppStartup.h"
#include "app/shell/GraphicalSession.h"
#include "core/foundation/FreedHeap.h"
#include "core/foundation/JsonFileSettingsStore.h"

#include <QApplication>

#include <cstdio>
#include <future>

int main(int argc, char** argv)
{
    vantorel::tuneHeapForIdling();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (!vantorel::GraphicalSession::available(QProcessEnvironment::systemEnvironment(), arguments)) {
        std::fprintf(stderr, "%s\n", vantorel::GraphicalSession::missingMessage().toLocal8Bit().constData());
        return 1;
    }
    // The settings file, histories included, is read and decoded while the GUI connects to the
    // display; nothing on disk changes until the store is built over it.
    auto settings = std::async(std::launch::async,
                               [] { return vantorel::JsonFileSettingsStore::read(vantorel::JsonFileSettingsStore::defaultFilePath()); });
    QApplication app(argc, argv);
    return vantorel::runApplication(app, std::move(settings));
}
