#pragma once

#include "app/platform/NotificationBackend.h"

#include <QDBusConnection>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace vantorel {

// Desktop notifications through the freedesktop notification service (org.freedesktop.Notifications)
// on the session bus. Every call is asynchronous and bounded by the time-out; the service is
// never called on the caller's own connection synchronously. Lives on the thread that uses it.
class FreedesktopNotificationBackend final : public QObject, public NotificationBackend
{
    Q_OBJECT

public:
    static inline const QString standardServiceName = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");
    static inline const QString interfaceName = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString applicationName = QStringLiteral("Vantorel");
    // Lets the desktop show our icon and per-application settings.
    static inline const QString desktopEntry = QStringLiteral("vantorel");
    // The sound theme's name for an ordinary incoming message.
    static inline const QString soundName = QStringLiteral("message-new-instant");
    // The action a click on the notification invokes, and the label servers that list actions show.
    static inline const QString defaultActionKey = QStringLiteral("default");
    static inline const QString defaultActionLabel = QStringLiteral("開く");
    // The picture's side in pixels when it is sent as data: what servers show beside the text.
    static constexpr int imageSize = 64;
    // Ids kept for telling our notifications' clicks from other programs'; a server that never
    // reports closing them cannot make the list grow past this.
    static constexpr qsizetype maximumRememberedNotifications = 64;

    struct Options
    {
        // Another name lets tests run their own server beside a real one.
        QString serviceName = standardServiceName;
        int callTimeoutMs = 5000;
        // The icon theme name the installed application's icon has (its desktop entry's Icon).
        QString iconName = desktopEntry;
        // Sent as the picture when no icon of that name is installed (a run from the build tree);
        // none when null.
        QIcon picture;
    };

    explicit FreedesktopNotificationBackend(QDBusConnection bus = QDBusConnection::sessionBus());
    FreedesktopNotificationBackend(QDBusConnection bus, Options options);

    // `authorized` while the service has an owner or the bus can start it on demand; otherwise,
    // and when the bus cannot be asked, `notDetermined`. The desktop has no per-application
    // refusal to report, so `denied` never comes back.
    QCoro::Task<AuthorizationStatus> authorizationStatus() override;

    // Notify with the application name, the installed icon's file or else the picture as image
    // data, the `default` action, no replacement, the desktop entry and sound hints, urgency
    // critical for a critical request, and the server's default expiry. The body is escaped when
    // the server reads markup, so outside text (an incident name with "<" or "&") shows as
    // written. False on any error reply, including none within the time-out.
    QCoro::Task<bool> add(LocalNotificationRequest request) override;

    // The handler runs for the `default` action of a notification this backend posted, as long
    // as the server has not reported it closed.
    void setActivationHandler(std::function<void()> handler) override;

private slots:
    void onActionInvoked(uint id, const QString& actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    // How the notification shows the application, decided on the first notification.
    struct Appearance
    {
        // The installed icon's path, or empty.
        QString icon;
        // RGBA, non-premultiplied; null when the icon name is sent.
        QImage picture;
    };

    const Appearance& appearance();
    void listenForAnswers();
    void remember(uint id);

    QDBusConnection m_bus;
    Options m_options;
    std::optional<Appearance> m_appearance;
    bool m_listening = false;
    QList<uint> m_shownIds;
    std::function<void()> m_activationHandler;
};

} // namespace vantorel
