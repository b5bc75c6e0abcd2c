#include "app/ui/DesktopAppearance.h"

#include <QDBusConnection>
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
    const std::vector<std::pair<QVariant, std::optional<Scheme>>> cases{
        {QVariant(1u), Scheme::dark},          {QVariant(2u), Scheme::light},
        {QVariant(0u), Scheme::noPreference},  {wrapped(1u), Scheme::dark},
        {wrapped(wrapped(2u)), Scheme::light}, {wrapped(wrapped(wrapped(1u))), std::nullopt},
        {QVariant(3u), std::nullopt},          {QVariant(1), std::nullopt},
        {QVariant(QStringLiteral("dark")), std::nullopt}, {QVariant(), std::nullopt},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(DesktopAppearance::schemeFromPortalValue(cases[i].first), cases[i].second) << "case " << i;
}

struct PaletteGuard {
    QPalette saved = QGuiApplication::palette();
    ~PaletteGuard() { QGuiApplication::setPalette(saved); }
};

TEST(DesktopAppearance, WithoutPortalTheWindowLightnessDecides)
{
    PaletteGuard guard;
    const DesktopAppearance appearance(QDBusConnection(QStringLiteral("vantorel-not-connected")));
    QGuiApplication::setPalette(QPalette(QColor(32, 32, 32)));
    EXPECT_EQ(appearance.palette(), MenuBarPalette::dark());
    QGuiApplication::setPalette(QPalette(QColor(240, 240, 240)));
    EXPECT_EQ(appearance.palette(), MenuBarPalette::light());
}

// Stands in for the desktop portal's settings interface.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public slots:
    QDBusVariant Read(const QString& group, const QString& key)
    {
        const bool scheme = group == u"org.freedesktop.appearance" && key == u"color-scheme";
        return QDBusVariant(scheme ? wrapped(1u) : QVariant(QString()));
    }
};

TEST(DesktopAppearance, FollowsThePortalAnswerAndItsChangesIntegration)
{
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no session bus";
    // The portal gets a connection of its own, as it would have in its own process.
    const auto connectionName = QStringLiteral("vantorel-fake-portal");
    auto portalBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
    const auto path = QStringLiteral("/org/freedesktop/portal/desktop");
    FakePortal portal;
    ASSERT_TRUE(portalBus.registerObject(path, &portal, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    const auto announce = [&](const QString& key, uint value) {
        auto signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Settings"),
                                                 QStringLiteral("SettingChanged"));
        signal << QStringLiteral("org.freedesktop.appearance") << key << wrapped(value);
        portalBus.send(signal);
    };

    PaletteGuard guard;
    QGuiApplication::setPalette(QPalette(QColor(240, 240, 240)));
    DesktopAppearance appearance(QDBusConnection::sessionBus());
    QSignalSpy changed(&appearance, &DesktopAppearance::changed);
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(appearance.portalScheme(), Scheme::dark);
    EXPECT_TRUE(appearance.isDark());

    announce(QStringLiteral("accent-color"), 2);
    announce(QStringLiteral("color-scheme"), 2);
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(changed.count(), 2) << "other settings are ignored";
    EXPECT_FALSE(appearance.isDark());

    // No preference hands the decision back to the palette.
    QGuiApplication::setPalette(QPalette(QColor(20, 20, 20)));
    announce(QStringLiteral("color-scheme"), 0);
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_TRUE(appearance.isDark());
    QDBusConnection::disconnectFromBus(connectionName);
}

} // namespace
} // namespace vantorel

#include "DesktopAppearanceTest.moc"
