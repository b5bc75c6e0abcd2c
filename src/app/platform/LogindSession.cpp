#include "app/platform/LogindSession.h"

#include "app/platform/DBusPropertyWatch.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace vantorel {

namespace {

// The "(so)" value of the user's Display property: session id and object path.
std::optional<QString> sessionPathOf(const QVariant& display)
{
    if (!display.canConvert<QDBusArgument>())
        return std::nullopt;
    const auto argument = display.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("(so)"))
        return std::nullopt;
    QString id;
    QDBusObjectPath path;
    argument.beginStructure();
    argument >> id >> path;
    argument.endStructure();
    // No graphical session: logind answers an empty id and the root path.
    if (id.isEmpty() || path.path() == QLatin1String("/"))
        return std::nullopt;
    return path.path();
}

} // namespace

LogindSession::LogindSession(QDBusConnection bus, QString serviceName, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_serviceName(std::move(serviceName))
{
}

void LogindSession::start()
{
    auto call = QDBusMessage::createMethodCall(m_serviceName, userPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                               QStringLiteral("Get"));
    call << userInterface << QStringLiteral("Display");
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *watcher;
        const auto path = reply.isError() ? std::nullopt : sessionPathOf(reply.value().variant());
        if (path)
            follow(*path);
        else
            emit stateChanged();
    });
}

bool LogindSession::isActiveAndUnlocked() const
{
    return m_active == true && m_class == QStringLiteral("user") && m_lockedHint == false;
}

void LogindSession::follow(const QString& sessionPath)
{
    m_bus.connect(m_serviceName, sessionPath, sessionInterface, QStringLiteral("Unlock"), this, SLOT(handleUnlock()));
    auto* watch = new DBusPropertyWatch(m_bus, m_serviceName, sessionPath, sessionInterface, this);
    connect(watch, &DBusPropertyWatch::propertiesChanged, this, &LogindSession::apply);
    watch->start();
}

void LogindSession::apply(const QVariantMap& properties)
{
    const bool wasInactive = m_active == false;
    const bool wasLocked = m_lockedHint == true;
    const auto active = properties.constFind(QStringLiteral("Active"));
    if (active != properties.constEnd() && active->metaType() == QMetaType::fromType<bool>())
        m_active = active->toBool();
    const auto sessionClass = properties.constFind(QStringLiteral("Class"));
    if (sessionClass != properties.constEnd() && sessionClass->metaType() == QMetaType::fromType<QString>())
        m_class = sessionClass->toString();
    const auto locked = properties.constFind(QStringLiteral("LockedHint"));
    if (locked != properties.constEnd() && locked->metaType() == QMetaType::fromType<bool>())
        m_lockedHint = locked->toBool();
    emit stateChanged();
    if ((wasInactive && m_active == true) || (wasLocked && m_lockedHint == false))
        emit interactionResumed();
    if (wasInactive && m_active == true)
        emit becameActive();
}

void LogindSession::handleUnlock()
{
    emit interactionResumed();
}

} // namespace vantorel
