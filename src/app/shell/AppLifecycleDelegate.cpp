#include "app/shell/AppLifecycleDelegate.h"

#include "app/shell/AppLifecycleBridge.h"
#include "core/foundation/AppDiagnostics.h"

namespace vantorel {

AppLifecycleDelegate::AppLifecycleDelegate(std::function<void(const QString&)> log, QObject* parent)
    : QObject(parent)
    , m_log(std::move(log))
{
}

void AppLifecycleDelegate::applicationDidFinishLaunching()
{
    log(QStringLiteral("app.didFinishLaunching"));
    if (AppLifecycleBridge::showMainWindow)
        AppLifecycleBridge::showMainWindow(QStringLiteral("launch"));
}

bool AppLifecycleDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    log(QStringLiteral("app.reopen hasVisibleWindows=")
        + (hasVisibleWindows ? QStringLiteral("true") : QStringLiteral("false")));
    if (AppLifecycleBridge::showMainWindow)
        AppLifecycleBridge::showMainWindow(QStringLiteral("reopen"));
    return false;
}

void AppLifecycleDelegate::sessionDidBecomeActive()
{
    log(QStringLiteral("app.sessionDidBecomeActive"));
    if (AppLifecycleBridge::refreshScheduledItems)
        AppLifecycleBridge::refreshScheduledItems(QStringLiteral("session-active"));
}

void AppLifecycleDelegate::log(const QString& message) const
{
    if (m_log)
        m_log(message);
    else
        AppDiagnostics::log(message);
}

} // namespace vantorel
