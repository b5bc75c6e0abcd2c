#include "app/platform/DBusPropertyWatch.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace vantorel {

namespace {

const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

} // namespace

DBusPropertyWatch::DBusPropertyWatch(QDBusConnection bus, QString service, QString path, QString interface,
                                     QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_service(std::move(service))
    , m_path(std::move(path))
    , m_interface(std::move(interface))
{
}

void DBusPropertyWatch::start()
{
    m_bus.connect(m_service, m_path, propertiesInterface, QStringLiteral("PropertiesChanged"), this,
                  SLOT(handlePropertiesChanged(QString, QVariantMap, QStringList)));
    readAll(true);
}

void DBusPropertyWatch::handlePropertiesChanged(const QString& interface, const QVariantMap& changed,
                                                const QStringList& invalidated)
{
    if (interface != m_interface)
        return;
    if (!changed.isEmpty())
        emit propertiesChanged(changed);
    if (!invalidated.isEmpty())
        readAll(false);
}

void DBusPropertyWatch::readAll(bool first)
{
    auto call = QDBusMessage::createMethodCall(m_service, m_path, propertiesInterface, QStringLiteral("GetAll"));
    call << m_interface;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, first] {
        watcher->deleteLater();
        const QDBusPendingReply<QVariantMap> reply = *watcher;
        if (reply.isError()) {
            if (first)
                emit unavailable();
            return;
        }
        emit propertiesChanged(reply.value());
    });
}

} // namespace vantorel
