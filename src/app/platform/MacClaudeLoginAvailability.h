#pragma once

#include <QObject>
#include <QPointer>

namespace vantorel {

class LogindSession;
class ScreenSaverMonitor;

// Whether a user is present at an unlocked, awake screen, so that opening a login page or a
// terminal makes sense now. Reads state the session and screen-saver monitors keep current, so
// `canPresent` never blocks. Another application becoming frontmost cannot be seen here; our own
// application becoming active can.
class MacClaudeLoginAvailability final : public QObject
{
    Q_OBJECT

public:
    // Either monitor may be null: no session means never; no screen-saver monitor means the
    // session's lock state alone decides.
    MacClaudeLoginAvailability(LogindSession* session, ScreenSaverMonitor* screenSaver, QObject* parent = nullptr);

    // True only when the session is known, active, of class "user" and not locked, and the
    // screen saver is known to be inactive.
    bool canPresent() const;

signals:
    // A moment when a deferred login may have become possible: the session became active or
    // was unlocked, the screen saver ended, or this application was activated.
    void interactionResumed();

private:
    QPointer<LogindSession> m_session;
    QPointer<ScreenSaverMonitor> m_screenSaver;
};

} // namespace vantorel
