#pragma once

#include "app/shell/StartupSettings.h"

#include <future>

class QApplication;

namespace vantorel {

// Logs the start line, runs the event loop until the application quits or SIGTERM/SIGINT
// arrives, logs "app.willTerminate" and writes out the log. Returns the exit code. `settings` is
// the settings file as read on another thread.
int runApplication(QApplication& app, std::future<StartupSettings> settings);

} // namespace vantorel
