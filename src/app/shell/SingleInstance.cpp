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

void SingleInstance::terminateOtherRunningInstances()
{
    QDBusConnectionInterface* bus = m_bus.isConnected() ? m_bus.interface() : nullptr;
    if (!bus) {
        log(QStringLiteral("singleInstance.skipped sessionBusUnavailable"));
        return;
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
    const bool acquired = takeName();

    if (replacedName.isEmpty() || replacedPid == 0)
        return;
    // The replaced copy quits on NameLost; only one still on the bus after the grace time is
    // ended by force, so a copy writing out its state is never cut short. A copy that did not
    // allow the take-over leaves the name free only when it is gone.
    auto* watcher = new QDBusServiceWatcher(replacedName, m_bus, QDBusServiceWatcher::WatchForUnregistration, this);
    m_forceTimer = new QTimer(this);
    m_forceTimer->setSingleShot(true);
    connect(m_forceTimer, &QTimer::timeout, this, [this, replacedName, replacedPid] {
        forceTerminate(replacedName, replacedPid);
    });
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this, acquired] {
        m_forceTimer->stop();
        if (!acquired)
            takeName();
    });
    m_forceTimer->start(forceTerminateAfterMs);
}

bool SingleInstance::takeName()
{
    const auto registered = m_bus.interface()->registerService(
        serviceName, QDBusConnectionInterface::ReplaceExistingService, QDBusConnectionInterface::AllowReplacement);
    const bool acquired = registered.isValid() && registered.value() == QDBusConnectionInterface::ServiceRegistered;
    if (!acquired)
        log(QStringLiteral("singleInstance.nameNotAcquired"));
    return acquired;
}

void SingleInstance::forceTerminate(const QString& uniqueName, uint pid)
{
    QDBusConnectionInterface* bus = m_bus.interface();
    if (!bus)
        return;
    // The unique name is never reused on a bus: while it is there, the pid is still that copy.
    const QDBusReply<uint> current = bus->servicePid(uniqueName);
    if (!current.isValid() || current.value() != pid)
        return;
    log(QStringLiteral("singleInstance.forceTerminateOther pid=") + QString::number(pid));
    ::kill(static_cast<pid_t>(pid), SIGKILL);
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
