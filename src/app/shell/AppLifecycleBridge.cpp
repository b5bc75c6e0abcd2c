#include "app/shell/AppLifecycleBridge.h"

namespace vantorel {

std::function<void(QString)> AppLifecycleBridge::showMainWindow;
std::function<void(QString)> AppLifecycleBridge::refreshScheduledItems;

} // namespace vantorel
