#include "app/shell/StartupSettings.h"

#include "app/viewmodel/StoredHistories.h"

namespace vantorel {

StartupSettings StartupSettings::read(const QString& filePath)
{
    StartupSettings settings;
    settings.contents = JsonFileSettingsStore::read(filePath);
    const auto& contents = *settings.contents;
    settings.histories = std::make_shared<StoredHistories>(StoredHistories::decode(
        [&contents](const QString& key) { return JsonFileSettingsStore::storedData(contents, key); }));
    return settings;
}

std::future<StartupSettings> StartupSettings::readInBackground(const QString& filePath)
{
    return std::async(std::launch::async, [filePath] { return read(filePath); });
}

} // namespace vantorel
