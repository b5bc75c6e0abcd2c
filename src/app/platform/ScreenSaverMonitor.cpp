#include "app/platform/ScreenSaverMonitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace vantorel {

ScreenSaverMonitor::ScreenSaverMonitor(QDBusConnection bus, QString serviceName, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_serviceName(std::move(serviceName))
{
}

void ScreenSaverMonitor::start()
{
    m_bus.connect(m_serviceName, objectPath, interfaceName, QStringLiteral("ActiveChanged"), this,
                  SLOT(handleActiveChanged(bool)));
    const auto call = QDBusMessage::createMethodCall(m_serviceName, objectPath, interfaceName, QStringLiteral("GetActive"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        // Sent after any signal that arrived before it, so never older than that signal.
        const QDBusPendingReply<bool> reply = *watcher;
        m_active = !reply.isError() && reply.value();
        emit stateChanged();
    });
}

void ScreenSaverMonitor::handleActiveChanged(bool active)
{
    m_active = active;
    emit stateChanged();
    if (!active)
        emit deactivated();
}

} // namespace vantorel
