#pragma once

class QApplication;

namespace vantorel {

// Logs the start line, runs the event loop until the application quits or SIGTERM/SIGINT
// arrives, logs "app.willTerminate" and writes out the log. Returns the exit code.
int runApplication(QApplication& app);

} // namespace vantorel
