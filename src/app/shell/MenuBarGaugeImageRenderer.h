#pragma once

#include "app/shell/MenuBarPalette.h"
#include "core/model/MenuBarGaugeLabelStyle.h"
#include "core/model/MenuBarGaugeValue.h"
#include "core/model/MenuBarProviderIdentityStyle.h"

#include <QCache>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace vantorel {

class DesktopAppearance;

// Draws the menu-bar picture: per enabled provider (Codex, then Claude) ring gauges with the
// provider's brand icon or name, as one detailed capsule or one compact cell each. Images are
// 26 points high, drawn at the device pixel ratio, and cached by a key that sums up everything
// the picture depends on; a cache hit returns the very same (implicitly shared) image.
// Main thread only.
class MenuBarGaugeImageRenderer {
public:
    static constexpr int imageHeight = 26;
    static constexpr int disabledWidth = 30;
    static constexpr int renderedImageCacheLimit = 512;
    static constexpr int brandIconCacheLimit = 8;
    // Tray hosts show square icons only; the square form comes in these sizes (logical pixels)
    // and shows its number from `squareNumberMinimumSize` up.
    static constexpr std::array<int, 6> squareIconSizes{16, 22, 24, 32, 48, 64};
    static constexpr int squareNumberMinimumSize = 22;
    static inline const QString codexIconName = QStringLiteral("codex-menu");
    static inline const QString claudeIconName = QStringLiteral("claude-menu");

    // Everything the picture shows.
    struct Input {
        bool codexEnabled = false;
        bool claudeEnabled = false;
        QList<MenuBarGaugeValue> codexValues;
        QList<MenuBarGaugeValue> claudeValues;
        bool compact = true;
        MenuBarGaugeLabelStyle labelStyle = MenuBarGaugeLabelStyle::period;
        MenuBarProviderIdentityStyle codexIdentityStyle = MenuBarProviderIdentityStyle::icon;
        MenuBarProviderIdentityStyle claudeIdentityStyle = MenuBarProviderIdentityStyle::icon;

        bool operator==(const Input&) const = default;
    };

    // What the renderer reads from the platform. Each member is called on every `make`, except
    // `loadBrandIcon`, which is called only when the brand-icon cache misses.
    struct Environment {
        std::function<MenuBarPalette()> appearance;
        std::function<qreal()> devicePixelRatio;
        // The brand image of an icon name, or a null image when there is none.
        std::function<QImage(const QString& iconName)> loadBrandIcon;
        // The application's own icon for the disabled indicator; a null image draws none.
        std::function<QImage()> applicationIcon;
    };

    // The desktop's appearance, the primary screen's pixel ratio, the brand images from
    // ":/Brand/<name>.png" and the application's window icon.
    static Environment systemEnvironment(const DesktopAppearance& appearance);
    // The application's brand image ":/Brand/<iconName>.png", or a null image.
    static QImage bundledBrandIcon(const QString& iconName);

    explicit MenuBarGaugeImageRenderer(Environment environment);
    MenuBarGaugeImageRenderer(const MenuBarGaugeImageRenderer&) = delete;
    MenuBarGaugeImageRenderer& operator=(const MenuBarGaugeImageRenderer&) = delete;
    ~MenuBarGaugeImageRenderer();

    // The picture for `input`, from the cache of the current pixel ratio when its key is there.
    QImage make(const Input& input);
    // The square tray form of the same picture: one ring per enabled provider (Codex outside,
    // Claude inside) for the window a compact cell would show, the lowest known remaining
    // percentage in the centre, or the disabled indicator. One icon with every size of
    // `squareIconSizes` at the current pixel ratio, cached like `make` (a hit returns an icon
    // with the same `cacheKey()`).
    QIcon makeSquare(const Input& input);

    // Width in points of the image `make` returns for `input`; the status item's length.
    static int imageWidth(const Input& input);
    static int detailedProviderWidth(const QList<MenuBarGaugeValue>& values, MenuBarGaugeLabelStyle labelStyle,
                                     MenuBarProviderIdentityStyle identityStyle);
    // Measured width of a percentage text in the 17-point bold monospaced font, rounded up.
    static int percentageTextWidth(const QString& text);
    // The value a compact cell shows: the first without a percentage, else the lowest (earliest
    // on ties); nothing for an empty list.
    static std::optional<MenuBarGaugeValue> compactSelection(const QList<MenuBarGaugeValue>& values);
    static QString cacheValues(const QList<MenuBarGaugeValue>& values);
    static QString cacheKey(const QString& appearanceName, const Input& input);
    static QString squareCacheKey(const QString& appearanceName, const Input& input);
    // The number the square form shows: the lowest known percentage among its rings' values,
    // clamped to 0...100 and rounded; nothing when no ring has one.
    static std::optional<int> squareNumber(const Input& input);
    // Arc colour of a remaining percentage: secondary when unknown, then red, orange, green.
    static QColor color(std::optional<double> percent, const MenuBarPalette& palette);

    // The brand image of an icon name, loaded once and kept; nothing when it cannot be loaded,
    // in which case the next call tries again.
    std::optional<QImage> brandIcon(const QString& iconName);

private:
    using ImageCache = QCache<QString, QImage>;
    using IconCache = QCache<QString, QIcon>;

    qreal devicePixelRatio() const;
    ImageCache& renderedImageCache(qreal devicePixelRatio);
    IconCache& renderedIconCache(qreal devicePixelRatio);

    Environment m_environment;
    std::map<qreal, std::unique_ptr<ImageCache>> m_renderedImageCaches;
    std::map<qreal, std::unique_ptr<IconCache>> m_renderedIconCaches;
    QCache<QString, QImage> m_brandIconCache{brandIconCacheLimit};
};

} // namespace vantorel
