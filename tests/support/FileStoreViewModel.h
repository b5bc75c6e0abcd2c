#pragma once

#include "core/foundation/JsonFileSettingsStore.h"
#include "core/model/AppSettings.h"
#include "support/ViewModelHarness.h"

#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace vantorel {

class ManualOneShotTimer;

// A harness's view model over the file store, whose write-behind and typing pauses pass only when
// the test fires its timer: what reaches the file without that was written at once. Built with the
// store's first write done, so `writes` counts from a quiet store.
struct FileStoreViewModel
{
    FileStoreViewModel();

    QString path() const { return directory.filePath(QStringLiteral("defaults.json")); }
    // The settings record as the file holds it now.
    std::optional<AppSettings> storedSettings() const;

    QTemporaryDir directory;
    ViewModelHarness harness;
    ManualOneShotTimer* writeDelay = nullptr;
    std::shared_ptr<JsonFileSettingsStore> store;
    int writes = 0;
};

} // namespace vantorel
