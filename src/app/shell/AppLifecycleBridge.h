#pragma once

#include <QString>

#include <functional>

namespace vantorel {

// The two process-wide hooks through which the lifecycle delegate reaches the status item
// controller and the view model without holding them. The composition root fills them with
// closures that hold their targets weakly; callers call a slot only when it is set. GUI thread.
struct AppLifecycleBridge
{
    AppLifecycleBridge() = delete;

    // Shows the main window for a reason ("launch", "reopen").
    static std::function<void(QString reason)> showMainWindow;
    // Requests one refresh of every scheduled provider for a reason ("session-active").
    static std::function<void(QString reason)> refreshScheduledItems;
};

} // namespace vantorel
