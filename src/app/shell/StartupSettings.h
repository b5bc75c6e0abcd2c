#pragma once

#include "core/foundation/JsonFileSettingsStore.h"

#include <future>
#include <memory>

namespace vantorel {

// The settings file as read at start: the work is done on a thread of its own while the GUI
// connects to the display, and nothing on disk changes until the store is built over the
// contents. The histories are decoded later, once the tray item is made.
struct StartupSettings
{
    std::shared_ptr<JsonFileSettingsStore::Contents> contents;

    static StartupSettings read(const QString& filePath);
    // read() on another thread. Call it from the thread that makes (or made) the application
    // object: that thread becomes Qt's main thread, whichever uses Qt first.
    static std::future<StartupSettings> readInBackground(const QString& filePath);
};

} // namespace vantorel
