#include "app/shell/DesktopAppearance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPalette>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using Scheme = DesktopAppearance::Scheme;

QVariant wrapped(const QVariant& value)
{
    return QVariant::fromValue(QDBusVariant(value));
}

TEST(DesktopAppearance, PortalValueIsReadThroughItsVariantWrapping)
{
    struct Case {
        const char* name;
        QVariant value;
        std::optional<Scheme> expected;
    };
    const std::vector<Case> cases{
        {"bare dark", QVariant(1u), Scheme::dark},
        {"bare light", QVariant(2u), Scheme::light},
        {"no preference", QVariant(0u), Scheme::noPreference},
        {"wrapped once", wrapped(1u), Scheme::dark},
        {"wrapped twice", wrapped(wrapped(2u)), Scheme::light},
        {"wrapped three times", wrapped(wrapped(wrapped(1u))), std::nullopt},
        {"unknown number", QVariant(3u), std::nullopt},
        {"signed number", QVariant(1), std::nullopt},
        {"text", QVariant(QStringLiteral("dark")), std::nullopt},
        {"nothing", QVariant(), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DesktopAppearance::schemeFromPortalValue(c.value), c.expected) << c.name;
}

class PaletteGuard {
public:
    PaletteGuard() : m_saved(QGuiApplication::palette()) {}
    ~PaletteGuard() { QGuiApplication::setPalette(m_saved); }

private:
    QPalette m_saved;
};

TEST(DesktopAppearance, WithoutPortalTheWindowLightnessDecides)
{
    PaletteGuard guard;
    const DesktopAppearance appearance(QDBusConnection(QStringLiteral("vantorel-not-connected")));
    EXPECT_EQ(appearance.portalScheme(), Scheme::noPreference);

    QGuiApplication::setPalette(QPalette(QColor(32, 32, 32)));
    EXPECT_TRUE(appearance.isDark());
    EXPECT_EQ(appearance.palette(), MenuBarPalette::dark());

    QGuiApplication::setPalette(QPalette(QColor(240, 240, 240)));
    EXPECT_FALSE(appearance.isDark());
    EXPECT_EQ(appearance.palette().name, QStringLiteral("light"));
}

// Stands in for the desktop portal's settings interface on the private session bus.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    uint scheme = 1;

public slots:
    QDBusVariant Read(const QString& group, const QString& key)
    {
        if (group != QLatin1String("org.freedesktop.appearance") || key != QLatin1String("color-scheme"))
            return QDBusVariant(QVariant(QString()));
        return QDBusVariant(wrapped(scheme));
    }
};

TEST(DesktopAppearance, FollowsThePortalAnswerAndItsChangesIntegration)
{
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        GTEST_SKIP() << "no session bus";
    // The portal has a connection of its own, as it would in its own process.
    const auto portalConnectionName = QStringLiteral("vantorel-fake-portal");
    auto portalBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, portalConnectionName);
    ASSERT_TRUE(portalBus.isConnected());
    const auto service = QStringLiteral("org.freedesktop.portal.Desktop");
    const auto path = QStringLiteral("/org/freedesktop/portal/desktop");
    FakePortal portal;
    ASSERT_TRUE(portalBus.registerObject(path, &portal, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(portalBus.registerService(service));

    PaletteGuard guard;
    QGuiApplication::setPalette(QPalette(QColor(240, 240, 240)));
    DesktopAppearance appearance(bus);
    QSignalSpy changed(&appearance, &DesktopAppearance::changed);
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(appearance.portalScheme(), Scheme::dark);
    EXPECT_TRUE(appearance.isDark());

    // Other settings are ignored; the colour scheme's change is followed.
    auto other = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Settings"),
                                            QStringLiteral("SettingChanged"));
    other << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("accent-color")
          << QVariant::fromValue(QDBusVariant(2u));
    portalBus.send(other);
    auto signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Settings"),
                                             QStringLiteral("SettingChanged"));
    signal << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
           << QVariant::fromValue(QDBusVariant(2u));
    portalBus.send(signal);
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(appearance.portalScheme(), Scheme::light);

    // No preference hands the decision back to the palette.
    QGuiApplication::setPalette(QPalette(QColor(20, 20, 20)));
    auto none = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Settings"),
                                           QStringLiteral("SettingChanged"));
    none << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
         << QVariant::fromValue(QDBusVariant(0u));
    portalBus.send(none);
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_TRUE(appearance.isDark());

    portalBus.unregisterService(service);
    portalBus.unregisterObject(path);
    QDBusConnection::disconnectFromBus(portalConnectionName);
}

} // namespace
} // namespace vantorel

#include "DesktopAppearanceTest.moc"
