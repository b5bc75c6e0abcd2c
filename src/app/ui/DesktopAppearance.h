#pragma once

#include "app/ui/MenuBarPalette.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

#include <optional>

namespace vantorel {

// Tells whether the desktop wants dark or light colours. The desktop portal's colour-scheme
// setting is read once without blocking and followed through its change signal; until it answers,
// or when there is no portal or it states no preference, the application palette's window
// lightness decides.
class DesktopAppearance : public QObject {
    Q_OBJECT

public:
    enum class Scheme { noPreference, dark, light };

    static constexpr int portalCallTimeoutMs = 1000;

    explicit DesktopAppearance(QDBusConnection bus, QObject* parent = nullptr);

    // The portal's last answer; `noPreference` until one arrives.
    Scheme portalScheme() const { return m_scheme; }
    bool isDark() const;
    MenuBarPalette palette() const;

    // Reads the portal's color-scheme value (a uint, possibly wrapped in one or two variants):
    // 1 prefers dark, 2 prefers light, 0 none. Anything else is not understood.
    static std::optional<Scheme> schemeFromPortalValue(const QVariant& value);

signals:
    // Emitted when the portal's answer changes what `isDark` reports or the preference itself.
    void changed();

private slots:
    void onSettingChanged(const QDBusMessage& message);

private:
    void apply(Scheme scheme);

    Scheme m_scheme = Scheme::noPreference;
};

} // namespace vantorel
