#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

#include <memory>

namespace vantorel {

// A logind inhibitor lock: logind honours it while the file descriptor it handed out stays open.
// The descriptor arrives asynchronously; destroying the lock closes it, also when it arrives
// only later.
class InhibitorLock final
{
public:
    // Whether logind has handed the descriptor over and it is still held.
    bool isHeld() const { return m_descriptor.isValid(); }

private:
    friend class LogindManager;
    QDBusUnixFileDescriptor m_descriptor;
};

// The login manager (org.freedesktop.login1.Manager on the system bus): inhibitor locks, and the
// system going to sleep and waking. Every call is asynchronous.
class LogindManager final : public QObject
{
    Q_OBJECT

public:
    static inline const QString standardServiceName = QStringLiteral("org.freedesktop.login1");
    static inline const QString objectPath = QStringLiteral("/org/freedesktop/login1");
    static inline const QString interfaceName = QStringLiteral("org.freedesktop.login1.Manager");
    static constexpr int callTimeoutMs = 5000;

    explicit LogindManager(QDBusConnection bus, QString serviceName = standardServiceName, QObject* parent = nullptr);

    const QDBusConnection& bus() const { return m_bus; }
    const QString& serviceName() const { return m_serviceName; }

    // Asks for an inhibitor lock ("idle", "sleep"…; mode "block" or "delay"). A refusal is logged
    // and leaves the lock empty.
    std::shared_ptr<InhibitorLock> inhibit(const QString& what, const QString& who, const QString& why,
                                           const QString& mode);

signals:
    // The system is about to sleep (PrepareForSleep(true)): it waits for the delay locks taken
    // before, and only for them.
    void preparingForSleep();
    // The system has woken from sleep (PrepareForSleep(false)).
    void resumedFromSleep();

private slots:
    void handlePrepareForSleep(bool start);

private:
    QDBusConnection m_bus;
    QString m_serviceName;
};

} // namespace vantorel
