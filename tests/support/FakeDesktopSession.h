#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <QThread>

#include <memory>

namespace vantorel {

// Fake login manager (Manager, the calling user, one session), UPower and screen saver on the
// session bus, served from a thread with a connection of its own (like FakeNotificationServer),
// under fresh well-known names. Setters change the served state and send the signals the real
// services send.
class FakeDesktopSession
{
public:
    struct InhibitCall
    {
        QString what;
        QString who;
        QString why;
        QString mode;
    };

    FakeDesktopSession();
    ~FakeDesktopSession();

    bool isServing() const { return m_serving; }
    const QString& logindService() const { return m_logindService; }
    const QString& upowerService() const { return m_upowerService; }
    const QString& screenSaverService() const { return m_screenSaverService; }

    // Initially active, class "user", unlocked; PropertiesChanged for Active and LockedHint.
    void setSession(bool active, const QString& sessionClass, bool lockedHint);
    // With false the user has no graphical session (Display is empty).
    void setHasDisplaySession(bool hasSession);
    void sendUnlock();
    void sendPrepareForSleep(bool start);
    // Initially on mains power.
    void setOnBattery(bool onBattery);
    // Initially inactive; sends ActiveChanged.
    void setScreenSaverActive(bool active);
    // With false GetActive answers an error, as on desktops that only proxy inhibition.
    void setScreenSaverAnswersGetActive(bool answers);

    QList<InhibitCall> inhibitCalls() const;
    // Whether every copy of the descriptor handed out by inhibit call `index` is closed, waiting
    // up to `timeoutMs` for it (0: look once).
    bool inhibitorReleased(int index, int timeoutMs) const;

    struct State;

private:
    void setProperty(const QString& path, const QString& interface, const QString& name, const QVariant& value);
    void send(const QString& path, const QString& interface, const QString& member, const QVariantList& arguments);

    QString m_logindService;
    QString m_upowerService;
    QString m_screenSaverService;
    std::shared_ptr<State> m_state;
    std::unique_ptr<QThread> m_thread;
    bool m_serving = false;
};

} // namespace vantorel
