#pragma once

#include "app/platform/NotificationBackend.h"

#include <QDBusConnection>
#include <QString>

namespace vantorel {

// Desktop notifications through the freedesktop notification service (org.freedesktop.Notifications)
// on the session bus. Every call is asynchronous and bounded by the time-out; the service is
// never called on the caller's own connection synchronously.
class FreedesktopNotificationBackend final : public NotificationBackend
{
public:
    static inline const QString standardServiceName = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");
    static inline const QString interfaceName = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString applicationName = QStringLiteral("Vantorel");
    // Lets the desktop show our icon and per-application settings.
    static inline const QString desktopEntry = QStringLiteral("vantorel");
    // The sound theme's name for an ordinary incoming message.
    static inline const QString soundName = QStringLiteral("message-new-instant");

    struct Options
    {
        // Another name lets tests run their own server beside a real one.
        QString serviceName = standardServiceName;
        int callTimeoutMs = 5000;
    };

    explicit FreedesktopNotificationBackend(QDBusConnection bus = QDBusConnection::sessionBus());
    FreedesktopNotificationBackend(QDBusConnection bus, Options options);

    // `authorized` while the service has an owner or the bus can start it on demand; otherwise,
    // and when the bus cannot be asked, `notDetermined`. The desktop has no per-application
    // refusal to report, so `denied` never comes back.
    QCoro::Task<AuthorizationStatus> authorizationStatus() override;

    // Notify with the application name, no icon, actions or replacement, the desktop entry and
    // sound hints and the server's default expiry. The body is escaped when the server reads
    // markup, so outside text (an incident name with "<" or "&") shows as written. False on any
    // error reply, including none within the time-out.
    QCoro::Task<bool> add(LocalNotificationRequest request) override;

private:
    QDBusConnection m_bus;
    Options m_options;
};

} // namespace vantorel
