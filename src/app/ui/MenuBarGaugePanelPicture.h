#pragma once

#include "app/ui/MenuBarGaugeDrawing.h"
#include "app/ui/MenuBarGaugeInput.h"
#include "app/ui/MenuBarPalette.h"

#include <QImage>
#include <QList>
#include <QString>

#include <map>
#include <optional>

namespace vantorel {

// The wide panel picture: per enabled provider ring gauges with the provider's brand icon or
// name, as one detailed capsule or one compact cell each, 26 points high.
struct MenuBarGaugePanelPicture {
    static constexpr int imageHeight = 26;
    static constexpr int disabledWidth = 30;

    // The brand image of each icon name shown; nothing draws the name's letters instead.
    using BrandImages = std::map<QString, std::optional<QImage>>;

    // One gauge of the picture as the picture shows it.
    struct ValueKey {
        MenuBarUsageWindow window = MenuBarUsageWindow::fiveHour;
        MenuBarGaugeDrawing::PercentKey percent;

        bool operator==(const ValueKey&) const = default;
    };

    // Names everything the picture shows in one appearance: two inputs with equal keys are drawn
    // alike. Every field takes part in `operator==` and `qHash`.
    struct Key {
        QString appearanceName;
        bool compact = true;
        MenuBarGaugeLabelStyle labelStyle = MenuBarGaugeLabelStyle::period;
        // Absent while the provider is off.
        std::optional<MenuBarProviderIdentityStyle> codexIdentity;
        std::optional<MenuBarProviderIdentityStyle> claudeIdentity;
        QList<ValueKey> codexValues;
        QList<ValueKey> claudeValues;

        bool operator==(const Key&) const = default;
    };

    static Key key(const QString& appearanceName, const MenuBarGaugeInput& input);
    static QList<ValueKey> valueKeys(const QList<MenuBarGaugeValue>& values);

    // The picture at `devicePixelRatio`; `applicationIcon` is drawn only when no provider is on.
    static QImage draw(const MenuBarGaugeInput& input, const MenuBarPalette& palette, qreal devicePixelRatio,
                       const BrandImages& brandImages, const QImage& applicationIcon);

    // Width in points of the picture for `input`.
    static int width(const MenuBarGaugeInput& input);
    static int detailedProviderWidth(const QList<MenuBarGaugeValue>& values, MenuBarGaugeLabelStyle labelStyle,
                                     MenuBarProviderIdentityStyle identityStyle);
    // Measured width of a percentage text in the 17-point bold monospaced font, rounded up.
    static int percentageTextWidth(const QString& text);
    // The value a compact cell shows: the first without a percentage, else the lowest (earliest
    // on ties); nothing for an empty list.
    static std::optional<MenuBarGaugeValue> compactSelection(const QList<MenuBarGaugeValue>& values);
};

inline size_t qHash(const MenuBarGaugePanelPicture::ValueKey& key, size_t seed = 0) noexcept
{
    return qHashMulti(seed, int(key.window), key.percent);
}

size_t qHash(const MenuBarGaugePanelPicture::Key& key, size_t seed = 0) noexcept;

} // namespace vantorel
