#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <optional>

namespace vantorel {

class DBusPropertyWatch;

// The user's graphical login session as logind sees it (the "Display" session of the calling
// user, which also covers an application started outside the session, by the user's service
// manager). Its state is kept current by signals, so reading it never blocks.
class LogindSession final : public QObject
{
    Q_OBJECT

public:
    static inline const QString standardServiceName = QStringLiteral("org.freedesktop.login1");
    static inline const QString userPath = QStringLiteral("/org/freedesktop/login1/user/self");
    static inline const QString userInterface = QStringLiteral("org.freedesktop.login1.User");
    static inline const QString sessionInterface = QStringLiteral("org.freedesktop.login1.Session");
    static constexpr int callTimeoutMs = 5000;

    explicit LogindSession(QDBusConnection bus, QString serviceName = standardServiceName, QObject* parent = nullptr);

    // Finds the session and starts following it.
    void start();

    // True only when the session is known, active, of class "user" and not locked.
    bool isActiveAndUnlocked() const;

signals:
    // Also sent once when no session can be found (the state then stays unknown).
    void stateChanged();
    // The session became active again, or was unlocked.
    void interactionResumed();
    // The session became active again (the user switched back to it).
    void becameActive();

private slots:
    void handleUnlock();

private:
    void follow(const QString& sessionPath);
    void apply(const QVariantMap& properties);

    QDBusConnection m_bus;
    QString m_serviceName;
    std::optional<bool> m_active;
    std::optional<QString> m_class;
    std::optional<bool> m_lockedHint;
};

} // namespace vantorel
