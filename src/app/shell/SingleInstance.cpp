#include "app/shell/SingleInstance.h"

#include "core/foundation/AppDiagnostics.h"

#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <csignal>

namespace vantorel {

namespace {

// /proc/<pid>/comm ends with a newline and never exceeds 16 bytes.
constexpr qint64 maximumCommLength = 64;

} // namespace

SingleInstance::SingleInstance(QDBusConnection bus, std::function<void(const QString&)> log, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_log(std::move(log))
{
}

bool SingleInstance::terminateOtherRunningInstances()
{
    QDBusConnectionInterface* bus = m_bus.isConnected() ? m_bus.interface() : nullptr;
    if (!bus) {
        log(QStringLiteral("singleInstance.skipped sessionBusUnavailable"));
        return false;
    }

    const QDBusReply<QString> owner = bus->serviceOwner(serviceName);
    QString replacedName;
    uint replacedPid = 0;
    if (owner.isValid() && !owner.value().isEmpty()) {
        replacedName = owner.value();
        const QDBusReply<uint> pid = bus->servicePid(replacedName);
        replacedPid = pid.isValid() ? pid.value() : 0;
        log(QStringLiteral("singleInstance.terminateOther pid=") + QString::number(replacedPid)
            + QStringLiteral(" name=") + processName(replacedPid) + QStringLiteral(" bundle=")
            + processExecutable(replacedPid));
    }

    // Qt reports the bus's NameLost for our own connection as serviceUnregistered.
    connect(bus, &QDBusConnectionInterface::serviceUnregistered, this, [this](const QString& name) {
        if (name == serviceName)
            emit nameLost();
    });
    m_bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots);
    if (replacedName.isEmpty()) {
        m_acquired = takeName();
        return false;
    }

    // Watched before the take-over, whose NameLost makes the replaced copy quit. It leaves the bus
    // as its process ends, after its last write. A copy that did not allow the take-over leaves the
    // name free only when it is gone.
    auto* watcher = new QDBusServiceWatcher(replacedName, m_bus, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        if (!waitingForReplacedInstance())
            return;
        endWait();
        emit replacedInstanceGone();
    });
    m_replacedName = replacedName;
    m_replacedPid = replacedPid;
    m_acquired = takeName();
    // It may have quit by itself before the watch began.
    const QDBusReply<bool> present = bus->isServiceRegistered(replacedName);
    if (present.isValid() && !present.value()) {
        endWait();
        return false;
    }
    // Only a copy still on the bus after the grace time is ended by force, so one writing out its
    // state is never cut short.
    m_forceTimer = new QTimer(this);
    m_forceTimer->setSingleShot(true);
    connect(m_forceTimer, &QTimer::timeout, this, &SingleInstance::forceTerminate);
    m_forceTimer->start(forceTerminateAfterMs);
    return true;
}

bool SingleInstance::takeName()
{
    QDBusConnectionInterface* bus = m_bus.interface();
    if (!bus)
        return false;
    const auto registered = bus->registerService(
        serviceName, QDBusConnectionInterface::ReplaceExistingService, QDBusConnectionInterface::AllowReplacement);
    const bool acquired = registered.isValid() && registered.value() == QDBusConnectionInterface::ServiceRegistered;
    if (!acquired)
        log(QStringLiteral("singleInstance.nameNotAcquired"));
    return acquired;
}

void SingleInstance::forceTerminate()
{
    QDBusConnectionInterface* bus = m_bus.interface();
    // The unique name is never reused on a bus: while it is there, the pid is still that copy.
    const QDBusReply<uint> current = bus ? bus->servicePid(m_replacedName) : QDBusReply<uint>();
    if (current.isValid() && m_replacedPid != 0 && current.value() == m_replacedPid) {
        log(QStringLiteral("singleInstance.forceTerminateOther pid=") + QString::number(m_replacedPid));
        // It leaves the bus as it dies. One stuck in the kernel may never die: after one more grace
        // time the wait ends all the same (the pid cleared sends the next time-out past this).
        ::kill(static_cast<pid_t>(m_replacedPid), SIGKILL);
        m_replacedPid = 0;
        m_forceTimer->start(forceTerminateAfterMs);
        return;
    }
    // Gone already, or nothing that could be ended: waiting longer would not help.
    endWait();
    emit replacedInstanceGone();
}

void SingleInstance::endWait()
{
    m_replacedName.clear();
    m_replacedPid = 0;
    if (m_forceTimer)
        m_forceTimer->stop();
    if (!m_acquired)
        m_acquired = takeName();
}

void SingleInstance::Activate(const QVariantMap& platformData)
{
    Q_UNUSED(platformData);
    emit activateRequested();
}

QString SingleInstance::processName(uint pid)
{
    QFile comm(QStringLiteral("/proc/") + QString::number(pid) + QStringLiteral("/comm"));
    if (pid == 0 || !comm.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    const QString name = QString::fromUtf8(comm.read(maximumCommLength)).trimmed();
    return name.isEmpty() ? QStringLiteral("unknown") : name;
}

QString SingleInstance::processExecutable(uint pid)
{
    if (pid == 0)
        return QStringLiteral("unknown");
    const QString target = QFileInfo(QStringLiteral("/proc/") + QString::number(pid) + QStringLiteral("/exe")).symLinkTarget();
    return target.isEmpty() ? QStringLiteral("unknown") : target;
}

void SingleInstance::log(const QString& message) const
{
    if (m_log)
        m_log(message);
    else
        AppDiagnostics::log(message);
}

} // namespace vantorel
