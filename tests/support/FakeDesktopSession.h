#pragma once

#include <QDBusConnection>
#include <QList>
#include <QString>
#include <QThread>
#include <QVariant>

#include <memory>

namespace vantorel {

// Fake login manager (manager, the calling user, one session), UPower and screen saver, served
// from a thread with a connection of its own (like FakeNotificationServer). By default on the
// session bus under fresh well-known names; a whole process (a stand-in desktop) may take the
// real names on a private system bus instead. Starts as an active, unlocked "user" session on
// mains power with the screen saver off.
class FakeDesktopSession
{
public:
    enum class Object { manager, user, session, upower, screenSaver };
    struct Placement
    {
        QDBusConnection::BusType bus = QDBusConnection::SessionBus;
        // The services' own names (org.freedesktop.login1 ...) rather than fresh ones.
        bool realNames = false;
    };
    struct InhibitCall
    {
        QString what, who, why, mode;
    };
    struct State;

    FakeDesktopSession();
    explicit FakeDesktopSession(Placement placement);
    ~FakeDesktopSession();

    bool isServing() const { return m_serving; }
    const QString& logindService() const { return m_logindService; }
    const QString& upowerService() const { return m_upowerService; }
    const QString& screenSaverService() const { return m_screenSaverService; }

    // Serves the value and sends the change as the real service does (PropertiesChanged; the
    // screen saver's "Active" as ActiveChanged). The user's "Display" is the session path or
    // empty; an invalid value makes GetActive fail, as on desktops that only proxy inhibition.
    void set(Object object, const QString& name, const QVariant& value);
    void send(Object object, const QString& member, const QVariantList& arguments = {});

    QList<InhibitCall> inhibitCalls() const;
    // Whether every copy of the descriptor of inhibit call `index` is closed (looks once).
    bool inhibitorReleased(int index) const;

private:
    QString m_logindService;
    QString m_upowerService;
    QString m_screenSaverService;
    std::shared_ptr<State> m_state;
    std::unique_ptr<QThread> m_thread;
    bool m_serving = false;
};

} // namespace vantorel
