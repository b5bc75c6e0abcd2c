#pragma once

#include <QList>
#include <QString>
#include <QThread>
#include <QVariant>

#include <memory>

namespace vantorel {

// Fake login manager (manager, the calling user, one session), UPower and screen saver on the
// session bus, served from a thread with a connection of its own (like FakeNotificationServer),
// under fresh well-known names. Starts as an active, unlocked "user" session on mains power with
// the screen saver off.
class FakeDesktopSession
{
public:
    enum class Object { manager, user, session, upower, screenSaver };
    struct InhibitCall
    {
        QString what, who, why, mode;
    };
    struct State;

    FakeDesktopSession();
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
