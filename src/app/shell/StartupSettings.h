#pragma once

#include "core/foundation/JsonFileSettingsStore.h"

#include <future>
#include <memory>

namespace vantorel {

struct StoredHistories;

// The settings file as read at start, with its histories already decoded: the work is done on a
// thread of its own while the GUI connects to the display, and nothing on disk changes until the
// store is built over the contents.
struct StartupSettings
{
    std::shared_ptr<JsonFileSettingsStore::Contents> contents;
    // Decoded from `contents`; empty lists when the file was damaged or held no histories.
    std::shared_ptr<StoredHistories> histories;

    static StartupSettings read(const QString& filePath);
    // read() on another thread.
    static std::future<StartupSettings> readInBackground(const QString& filePath);
};

} // namespace vantorel
