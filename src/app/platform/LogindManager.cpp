#include "app/platform/LogindManager.h"

#include "core/foundation/AppDiagnostics.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace vantorel {

LogindManager::LogindManager(QDBusConnection bus, QString serviceName, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_serviceName(std::move(serviceName))
{
    m_bus.connect(m_serviceName, objectPath, interfaceName, QStringLiteral("PrepareForSleep"), this,
                  SLOT(handlePrepareForSleep(bool)));
}

std::shared_ptr<InhibitorLock> LogindManager::inhibit(const QString& what, const QString& who, const QString& why,
                                                      const QString& mode)
{
    auto lock = std::make_shared<InhibitorLock>();
    auto call = QDBusMessage::createMethodCall(m_serviceName, objectPath, interfaceName, QStringLiteral("Inhibit"));
    call << what << who << why << mode;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    // Weak: a lock released before the answer must not be kept alive by it; the descriptor in
    // the answer is then closed with the reply.
    std::weak_ptr<InhibitorLock> weakLock = lock;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, weakLock, what] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
        if (reply.isError()) {
            AppDiagnostics::log(QStringLiteral("logind.inhibit.error what=") + what + QStringLiteral(" ")
                                + reply.error().name());
            return;
        }
        if (const auto held = weakLock.lock())
            held->m_descriptor = reply.value();
    });
    return lock;
}

void LogindManager::handlePrepareForSleep(bool start)
{
    if (start)
        emit preparingForSleep();
    else
        emit resumedFromSleep();
}

} // namespace vantorel
