#include "app/platform/FreedesktopNotificationBackend.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QPixmap>
#include <QPointer>
#include <QStandardPaths>
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

// The freedesktop urgency levels, sent as a byte.
constexpr uchar criticalUrgency = 2;

// Where the hicolor theme, which every icon theme falls back on, keeps an application's icon:
// `make install` puts the scalable one there, packages often add sizes. Empty when none is.
QString installedIconFile(const QString& name)
{
    if (name.isEmpty())
        return {};
    static constexpr int pixelSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
    QStringList files{QStringLiteral("icons/hicolor/scalable/apps/%1.svg").arg(name)};
    for (const int size : pixelSizes)
        files.append(QStringLiteral("icons/hicolor/%1x%1/apps/%2.png").arg(QString::number(size), name));
    for (const QString& file : std::as_const(files)) {
        if (QString path = QStandardPaths::locate(QStandardPaths::GenericDataLocation, file); !path.isEmpty())
            return path;
    }
    return {};
}

// The `image-data` hint: width, height, row stride, alpha, bits per sample, channels, bytes.
QDBusArgument imageData(const QImage& picture)
{
    QDBusArgument argument;
    argument.beginStructure();
    argument << picture.width() << picture.height() << int(picture.bytesPerLine()) << true
             << 8 << 4
             << QByteArray::fromRawData(reinterpret_cast<const char*>(picture.constBits()), picture.sizeInBytes());
    argument.endStructure();
    return argument;
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

void FreedesktopNotificationBackend::setActivationHandler(std::function<void()> handler)
{
    m_activationHandler = std::move(handler);
}

const FreedesktopNotificationBackend::Appearance& FreedesktopNotificationBackend::appearance()
{
    if (m_appearance)
        return *m_appearance;
    m_appearance.emplace();
    // The file rather than the name: servers that look names up only in the theme folders that
    // hold an index (dunst) miss an icon installed into ~/.local/share/icons.
    m_appearance->icon = installedIconFile(m_options.iconName);
    if (m_appearance->icon.isEmpty() && !m_options.picture.isNull()) {
        m_appearance->picture = m_options.picture.pixmap(QSize(imageSize, imageSize), 1.0)
                                    .toImage()
                                    .convertToFormat(QImage::Format_RGBA8888);
    }
    return *m_appearance;
}

void FreedesktopNotificationBackend::listenForAnswers()
{
    if (std::exchange(m_listening, true))
        return;
    // Subscribed through the service's name, so the bus forwards only its signals; the ids in
    // them are the server's, shared by every program that posts notifications.
    m_bus.connect(m_options.serviceName, objectPath, interfaceName, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(m_options.serviceName, objectPath, interfaceName, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
}

void FreedesktopNotificationBackend::remember(uint id)
{
    if (m_shownIds.size() >= maximumRememberedNotifications)
        m_shownIds.removeFirst();
    m_shownIds.append(id);
}

void FreedesktopNotificationBackend::onActionInvoked(uint id, const QString& actionKey)
{
    if (actionKey != defaultActionKey || !m_shownIds.contains(id))
        return;
    if (m_activationHandler)
        m_activationHandler();
}

void FreedesktopNotificationBackend::onNotificationClosed(uint id, uint reason)
{
    Q_UNUSED(reason);
    m_shownIds.removeOne(id);
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
    const Appearance shown = appearance();
    // Before the first Notify, so that no click on it can come before we listen.
    listenForAnswers();
    const QPointer<FreedesktopNotificationBackend> self(this);

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
    if (request.urgency == LocalNotificationRequest::Urgency::critical)
        hints.insert(QStringLiteral("urgency"), QVariant::fromValue(criticalUrgency));
    if (!shown.picture.isNull())
        hints.insert(QStringLiteral("image-data"), QVariant::fromValue(imageData(shown.picture)));
    auto notify = QDBusMessage::createMethodCall(options.serviceName, objectPath, interfaceName, QStringLiteral("Notify"));
    notify << applicationName << uint(0) << shown.icon << request.title
           << (readsMarkup ? request.body.toHtmlEscaped() : request.body)
           << QStringList{defaultActionKey, defaultActionLabel} << hints << int(-1);
    const QDBusMessage reply = co_await call(bus, notify, options.callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        co_return false;
    const QVariant id = reply.arguments().value(0);
    if (self && id.metaType() == QMetaType::fromType<uint>())
        self->remember(id.toUInt());
    co_return true;
}

} // namespace vantorel
