#pragma once

#include <QIcon>

namespace vantorel {

// The files compiled into the application (brand images, the application's icon).
struct ApplicationResources {
    // Makes the compiled-in files readable under ":/"; safe to call any number of times.
    static void registerAll();
    // The application's own icon, drawn from its SVG at every size asked for. Set as the window
    // icon at start; the gauge's disabled indicator draws it.
    static QIcon applicationIcon();
};

} // namespace vantorel
