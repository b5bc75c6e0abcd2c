#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace vantorel {

// Whether Qt can expect a display before the application object exists: without one, Qt's own
// failure ends the process with advice to reinstall, which is not the user's problem.
struct GraphicalSession
{
    GraphicalSession() = delete;

    // True when an X11 or Wayland display is named, or when a platform is chosen explicitly
    // (QT_QPA_PLATFORM, or "-platform" among the arguments; offscreen runs need no display).
    static bool available(const QProcessEnvironment& environment, const QStringList& arguments);

    // The one line printed instead of starting.
    static QString missingMessage();
};

} // namespace vantorel
