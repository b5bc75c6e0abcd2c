#include "app/ui/DesktopAppearance.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPalette>

namespace vantorel {

namespace {

const auto portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const auto portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const auto settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const auto appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const auto colorSchemeKey = QStringLiteral("color-scheme");

} // namespace

DesktopAppearance::DesktopAppearance(QDBusConnection bus, QObject* parent)
    : QObject(parent)
{
    if (!bus.isConnected())
        return;
    bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"), this,
                SLOT(onSettingChanged(QDBusMessage)));

    auto message = QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface,
                                                  QStringLiteral("Read"));
    message << appearanceGroup << colorSchemeKey;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, portalCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        if (reply.isError())
            return;
        if (const auto scheme = schemeFromPortalValue(reply.argumentAt(0)))
            apply(*scheme);
    });
}

bool DesktopAppearance::isDark() const
{
    switch (m_scheme) {
    case Scheme::dark:
        return true;
    case Scheme::light:
        return false;
    case Scheme::noPreference:
        break;
    }
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

MenuBarPalette DesktopAppearance::palette() const
{
    return isDark() ? MenuBarPalette::dark() : MenuBarPalette::light();
}

std::optional<DesktopAppearance::Scheme> DesktopAppearance::schemeFromPortalValue(const QVariant& value)
{
    // Read wraps the setting in a variant of its own; ReadOne and the change signal do not.
    QVariant inner = value;
    for (int depth = 0; depth < 2 && inner.canConvert<QDBusVariant>()
                        && inner.metaType() == QMetaType::fromType<QDBusVariant>();
         ++depth)
        inner = inner.value<QDBusVariant>().variant();
    if (inner.metaType() != QMetaType::fromType<uint>())
        return std::nullopt;
    switch (inner.toUInt()) {
    case 0:
        return Scheme::noPreference;
    case 1:
        return Scheme::dark;
    case 2:
        return Scheme::light;
    default:
        return std::nullopt;
    }
}

void DesktopAppearance::onSettingChanged(const QDBusMessage& message)
{
    const auto arguments = message.arguments();
    if (arguments.size() != 3 || arguments.at(0).toString() != appearanceGroup
        || arguments.at(1).toString() != colorSchemeKey)
        return;
    if (const auto scheme = schemeFromPortalValue(arguments.at(2)))
        apply(*scheme);
}

void DesktopAppearance::apply(Scheme scheme)
{
    if (scheme == m_scheme)
        return;
    m_scheme = scheme;
    emit changed();
}

} // namespace vantorel
