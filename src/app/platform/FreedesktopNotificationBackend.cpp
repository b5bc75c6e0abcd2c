#include "app/platform/FreedesktopNotificationBackend.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

#include <QCoroDBusPendingCall>

namespace vantorel {

namespace {

const QString busService = QStringLiteral("org.freedesktop.DBus");
const QString busPath = QStringLiteral("/org/freedesktop/DBus");
const QString busInterface = QStringLiteral("org.freedesktop.DBus");

// Answers of other processes are outside input: a capability list this long is not a server's.
constexpr qsizetype maximumCapabilities = 256;

QCoro::Task<QDBusMessage> call(QDBusConnection bus, QDBusMessage message, int timeoutMs)
{
    const QDBusPendingCall pending = bus.asyncCall(message, timeoutMs);
    co_return co_await pending;
}

bool firstArgumentIsTrue(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && reply.arguments().constFirst().metaType() == QMetaType::fromType<bool>() && reply.arguments().constFirst().toBool();
}

bool firstArgumentListsName(const QDBusMessage& reply, const QString& name)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return reply.arguments().constFirst().toStringList().contains(name);
}

} // namespace

FreedesktopNotificationBackend::FreedesktopNotificationBackend(QDBusConnection bus)
    : FreedesktopNotificationBackend(std::move(bus), Options())
{
}

FreedesktopNotificationBackend::FreedesktopNotificationBackend(QDBusConnection bus, Options options)
    : m_bus(std::move(bus))
    , m_options(std::move(options))
{
}

QCoro::Task<NotificationBackend::AuthorizationStatus> FreedesktopNotificationBackend::authorizationStatus()
{
    // Copies: the backend may be gone when an answer arrives.
    const QDBusConnection bus = m_bus;
    const Options options = m_options;

    auto hasOwner = QDBusMessage::createMethodCall(busService, busPath, busInterface, QStringLiteral("NameHasOwner"));
    hasOwner << options.serviceName;
    if (firstArgumentIsTrue(co_await call(bus, hasOwner, options.callTimeoutMs)))
        co_return AuthorizationStatus::authorized;

    // Many notification daemons are started by the bus on the first call.
    const auto activatable = QDBusMessage::createMethodCall(busService, busPath, busInterface,
                                                            QStringLiteral("ListActivatableNames"));
    if (firstArgumentListsName(co_await call(bus, activatable, options.callTimeoutMs), options.serviceName))
        co_return AuthorizationStatus::authorized;
    co_return AuthorizationStatus::notDetermined;
}

QCoro::Task<bool> FreedesktopNotificationBackend::add(LocalNotificationRequest request)
{
    const QDBusConnection bus = m_bus;
    const Options options = m_options;

    const auto capabilitiesCall = QDBusMessage::createMethodCall(options.serviceName, objectPath, interfaceName,
                                                                 QStringLiteral("GetCapabilities"));
    const QDBusMessage capabilities = co_await call(bus, capabilitiesCall, options.callTimeoutMs);
    bool readsMarkup = false;
    if (capabilities.type() == QDBusMessage::ReplyMessage && !capabilities.arguments().isEmpty()) {
        const QStringList names = capabilities.arguments().constFirst().toStringList();
        readsMarkup = names.size() <= maximumCapabilities && names.contains(QStringLiteral("body-markup"));
    }

    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), desktopEntry);
    hints.insert(QStringLiteral("sound-name"), soundName);
    auto notify = QDBusMessage::createMethodCall(options.serviceName, objectPath, interfaceName, QStringLiteral("Notify"));
    notify << applicationName << uint(0) << QString() << request.title
           << (readsMarkup ? request.body.toHtmlEscaped() : request.body) << QStringList() << hints << int(-1);
    const QDBusMessage reply = co_await call(bus, notify, options.callTimeoutMs);
    co_return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace vantorel
