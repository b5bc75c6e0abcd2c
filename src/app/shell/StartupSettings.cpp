#include "app/shell/StartupSettings.h"

#include <QThread>

namespace vantorel {

StartupSettings StartupSettings::read(const QString& filePath)
{
    return StartupSettings{JsonFileSettingsStore::read(filePath)};
}

std::future<StartupSettings> StartupSettings::readInBackground(const QString& filePath)
{
    // Qt takes the first thread that uses it for the main thread. Were the reader first (a busy
    // machine may run it before the caller makes the application), the application would be made
    // on a thread Qt thinks foreign and the reader's thread data would never be freed: claim the
    // calling thread before the reader starts.
    QThread::currentThread();
    return std::async(std::launch::async, [filePath] { return read(filePath); });
}

} // namespace vantorel
