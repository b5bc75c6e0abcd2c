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
// its connection on the bus after the grace time is killed. Owning the name, the copy serves
// org.freedesktop.Application, whose Activate asks it to show itself. GUI thread only.
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
    // and arms the forced end of the replaced copy. Without a session bus it logs and does nothing.
    void terminateOtherRunningInstances();

    // The pid's program name and executable, "unknown" when they cannot be read.
    static QString processName(uint pid);
    static QString processExecutable(uint pid);

signals:
    // Another copy took the name over: this one should quit.
    void nameLost();
    // A client asked the running copy to show itself.
    void activateRequested();

public slots:
    Q_SCRIPTABLE void Activate(const QVariantMap& platformData);

private:
    // Takes the name over, allowing a later copy to do the same; false when the owner refused.
    bool takeName();
    void forceTerminate(const QString& uniqueName, uint pid);
    void log(const QString& message) const;

    QDBusConnection m_bus;
    std::function<void(const QString&)> m_log;
    QTimer* m_forceTimer = nullptr;
};

} // namespace vantorel
