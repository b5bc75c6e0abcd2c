#include "support/FileStoreViewModel.h"

#include "app/viewmodel/StoredState.h"
#include "support/DrainEvents.h"
#include "support/ManualOneShotTimer.h"

namespace vantorel {

FileStoreViewModel::FileStoreViewModel()
{
    auto timer = std::make_unique<ManualOneShotTimer>();
    writeDelay = timer.get();
    store = std::make_shared<JsonFileSettingsStore>(path(), harness.clock.clock(), std::move(timer));
    store->set(StoredState::Keys::defaultsApplied, true);
    store->flush();
    AppViewModelDependencies dependencies = harness.dependencies();
    dependencies.defaults = store;
    harness.makeViewModel(std::move(dependencies));
    drainEvents();
    // What the load repaired goes out with the first delayed write.
    if (writeDelay->fire())
        store->flush();
    writes = store->completedWriteCount();
}

std::optional<AppSettings> FileStoreViewModel::storedSettings() const
{
    const auto text = JsonFileSettingsStore(path()).dataValue(StoredState::Keys::settings);
    const auto document = text ? json::parse(*text) : std::nullopt;
    return document ? appSettingsFromJson(*document) : std::nullopt;
}

} // namespace vantorel
