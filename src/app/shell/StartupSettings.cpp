#include "app/shell/StartupSettings.h"

namespace vantorel {

StartupSettings StartupSettings::read(const QString& filePath)
{
    return StartupSettings{JsonFileSettingsStore::read(filePath)};
}

std::future<StartupSettings> StartupSettings::readInBackground(const QString& filePath)
{
    return std::async(std::launch::async, [filePath] { return read(filePath); });
}

} // namespace vantorel
