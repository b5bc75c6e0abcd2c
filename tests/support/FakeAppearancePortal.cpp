#include "support/FakeAppearancePortal.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>

namespace vantorel {

namespace {

const auto portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const auto portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const auto settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const auto appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const auto colorSchemeKey = QStringLiteral("color-scheme");

QVariant wrapped(const QVariant& value)
{
    return QVariant::fromValue(QDBusVariant(value));
}

} // namespace

struct FakeAppearancePortal::Object final : QDBusVirtualObject
{
    Scheme scheme = Scheme::noPreference;

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QVariantList arguments = message.arguments();
        const bool read = message.member() == u"Read" || message.member() == u"ReadOne";
        if (message.interface() != settingsInterface || !read || arguments.size() != 2)
            return false;
        if (arguments[0].toString() != appearanceGroup || arguments[1].toString() != colorSchemeKey)
            return connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                                                            QStringLiteral("no such setting")));
        // Read wraps the value in a variant of its own, ReadOne does not.
        const QVariant value(static_cast<uint>(scheme));
        return connection.send(message.createReply(wrapped(message.member() == u"Read" ? wrapped(value) : value)));
    }
};

FakeAppearancePortal::FakeAppearancePortal(QDBusConnection bus, Scheme scheme)
    : m_bus(std::move(bus))
    , m_object(std::make_unique<Object>())
{
    m_object->scheme = scheme;
    m_serving = m_bus.registerVirtualObject(portalPath, m_object.get())
        && m_bus.registerService(portalService);
}

FakeAppearancePortal::~FakeAppearancePortal()
{
    m_bus.unregisterService(portalService);
    m_bus.unregisterObject(portalPath);
}

void FakeAppearancePortal::setScheme(Scheme scheme)
{
    m_object->scheme = scheme;
    auto signal = QDBusMessage::createSignal(portalPath, settingsInterface, QStringLiteral("SettingChanged"));
    signal << appearanceGroup << colorSchemeKey << wrapped(static_cast<uint>(scheme));
    m_bus.send(signal);
}

} // namespace vantorel
