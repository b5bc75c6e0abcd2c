#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace vantorel {

// Reacts to the moments of the process: launching has finished (the first turn of the event
// loop), the user asked the running copy to show itself again, and the login session became
// active again. It reaches the window and the view model only through AppLifecycleBridge.
class AppLifecycleDelegate final : public QObject
{
    Q_OBJECT

public:
    // `log` defaults to AppDiagnostics::log.
    explicit AppLifecycleDelegate(std::function<void(const QString&)> log = {}, QObject* parent = nullptr);

    void applicationDidFinishLaunching();
    // Always false: the default reopen behaviour is not wanted.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    // Closing the main window never quits the application.
    bool applicationShouldTerminateAfterLastWindowClosed() const { return false; }

public slots:
    // Delivered on a later turn, so the refresh never runs inside the session's signal.
    void sessionDidBecomeActive();

private:
    void log(const QString& message) const;

    std::function<void(const QString&)> m_log;
};

} // namespace vantorel
