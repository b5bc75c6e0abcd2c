#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

class QTimer;

namespace vantorel {

// Keeps one running copy per login session. The copy that starts last takes the session-bus name
// over (the running copy allows that) and the one that loses it quits; a copy that still has
// its connection on the bus after the grace time is killed. A copy leaves the bus only when its
// process ends, after its last write, so the new copy starts from what the replaced one wrote
// once that one has gone. Owning the name, the copy serves org.freedesktop.Application, whose
// Activate asks it to show itself. GUI thread only.
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    static inline const QString serviceName = QStringLiteral("vantorel.monitor");
    static inline const QString objectPath = QStringLiteral("/vantorel/monitor");
    // How long a replaced copy has to write out its state and quit.
    static constexpr int forceTerminateAfterMs = 10'000;

    // `log` defaults to AppDiagnostics::log.
    explicit SingleInstance(QDBusConnection bus, std::function<void(const QString&)> log = {},
                            QObject* parent = nullptr);

    // Logs the copy being replaced, takes the name over (allowing a later copy to do the same)
    // and arms the forced end of the replaced copy. True when a replaced copy is still on the bus:
    // replacedInstanceGone() follows once it has left or was ended by force. Without a session bus
    // it logs and does nothing.
    bool terminateOtherRunningInstances();
    // A copy this one replaced has not left the bus yet.
    bool waitingForReplacedInstance() const { return !m_replacedName.isEmpty(); }

    // The pid's program name and executable, "unknown" when they cannot be read.
    static QString processName(uint pid);
    static QString processExecutable(uint pid);

signals:
    // Another copy took the name over: this one should quit.
    void nameLost();
    // A client asked the running copy to show itself.
    void activateRequested();
    // The copy this one replaced has left the bus, its last state written, or was killed.
    void replacedInstanceGone();

public slots:
    Q_SCRIPTABLE void Activate(const QVariantMap& platformData);

private:
    // Takes the name over, allowing a later copy to do the same; false when the owner refused.
    bool takeName();
    void forceTerminate();
    // Ends the wait for the replaced copy, taking the name if it had refused to give it up.
    void endWait();
    void log(const QString& message) const;

    QDBusConnection m_bus;
    std::function<void(const QString&)> m_log;
    QTimer* m_forceTimer = nullptr;
    // The replaced copy while this one waits for it to leave the bus.
    QString m_replacedName;
    uint m_replacedPid = 0;
    bool m_acquired = false;
};

} // namespace vantorel
