#pragma once

#include "app/ui/MenuBarPalette.h"
#include "core/model/MenuBarGaugeLabelStyle.h"
#include "core/model/MenuBarGaugeValue.h"
#include "core/model/MenuBarProviderIdentityStyle.h"

#include <QCache>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPointF>
#include <QString>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

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
    // Tray hosts show square icons only; the square form comes in these sizes (logical pixels).
    static constexpr std::array<int, 6> squareIconSizes{16, 22, 24, 32, 48, 64};
    // A size of the square form shows its centre number only where the digits can be this tall
    // (logical pixels); smaller digits cannot be read in a panel, so that size shows none.
    static constexpr qreal squareMinimumDigitHeight = 9;
    static constexpr int squareSizeCacheLimitKiB = 8 * 1024;
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

    // The face of every number, percentage and window title in the picture: Latin only, so that a
    // tray showing only the picture maps no CJK font file. Digits are half an em wide.
    static QFont numberFont(qreal pointSize, QFont::Weight weight = QFont::Bold);

    explicit MenuBarGaugeImageRenderer(Environment environment);
    MenuBarGaugeImageRenderer(const MenuBarGaugeImageRenderer&) = delete;
    MenuBarGaugeImageRenderer& operator=(const MenuBarGaugeImageRenderer&) = delete;
    ~MenuBarGaugeImageRenderer();

    // One size of the square form, everything decided: drawing it reads nothing else, so it may
    // run on any thread.
    struct SquareSize {
        struct Ring {
            qreal radius = 0;
            qreal width = 0;
            // Share of the circle the arc covers, on the steps this size can show; nothing when
            // the ring has no reading (a dashed track).
            std::optional<qreal> fraction;
            QColor arcColor;
        };
        int side = 0;
        QString key;
        bool disabled = false;
        std::vector<Ring> rings;
        // Radius of the disc the rings surround.
        qreal discRadius = 0;
        qreal outlineWidth = 0;
        // The number drawn in the centre (empty for none), its font size, stretch and baseline start.
        QString centreText;
        qreal centrePointSize = 0;
        int centreStretch = 100;
        QPointF centreOrigin;
        // A dash in the centre: no ring has a reading.
        bool dash = false;
    };

    // Everything one drawing of square sizes needs, copied so that it may be drawn on any thread.
    struct SquareJob {
        MenuBarPalette palette;
        qreal devicePixelRatio = 1;
        QImage applicationIcon;
        std::vector<SquareSize> sizes;
    };

    // What the square form of an input needs: the icon itself when every size is cached, else
    // the sizes still to draw (sizes whose picture did not change come from the cache).
    struct SquarePlan {
        QString key;
        qreal devicePixelRatio = 1;
        std::optional<QIcon> icon;
        // The sizes found in the cache, and the job that draws the others.
        QList<QPixmap> cachedSizes;
        SquareJob job;
    };

    // The picture for `input`, from the cache of the current pixel ratio when its key is there.
    QImage make(const Input& input);
    // The square tray form of the same picture, shaped by the same choices: the compact layout
    // shows one ring per enabled provider (Codex outside, Claude inside) for the window a compact
    // cell would show, the detailed layout one ring per shown window. The centre holds the lowest
    // remaining percentage in the compact layout or with `remainingPercent` labels where its
    // digits can be read, a dash while no ring has a reading; no provider shows the disabled
    // indicator. Rings without a reading are dashed, and the picture is outlined in a contrasting
    // colour so that it reads on light and dark panels alike. One icon with every size of
    // `squareIconSizes` at the current pixel ratio, cached like `make` (a hit returns an icon
    // with the same `cacheKey()`). Draws its missing sizes on the calling thread: the status item
    // draws them away from the GUI thread through `planSquare`, `drawSquareSizes` and
    // `completeSquare`.
    QIcon makeSquare(const Input& input);
    // GUI thread: looks the icon and then each size up in the caches.
    SquarePlan planSquare(const Input& input);
    // Any thread: draws the sizes of `job`, in its order.
    static std::vector<QImage> drawSquareSizes(const SquareJob& job);
    // GUI thread: caches the sizes drawn for `plan` and returns its icon.
    QIcon completeSquare(const SquarePlan& plan, const std::vector<QImage>& drawn);

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
    // The rings of the square form, outermost first: each one's remaining percentage, absent
    // without a reading. Empty when no provider is enabled.
    static QList<std::optional<double>> squareRings(const Input& input);
    // The number the square form shows where it fits: the lowest known percentage among its
    // rings, clamped to 0...100 and rounded; nothing when no ring has one or the choices leave
    // the number out (detailed layout with `period` labels).
    static std::optional<int> squareNumber(const Input& input);
    // Arc colour of a remaining percentage: secondary when unknown, then red, orange, green.
    static QColor color(std::optional<double> percent, const MenuBarPalette& palette);

    // The brand image of an icon name, loaded once and kept; nothing when it cannot be loaded,
    // in which case the next call tries again.
    std::optional<QImage> brandIcon(const QString& iconName);

private:
    using ImageCache = QCache<QString, QImage>;
    using IconCache = QCache<QString, QIcon>;
    using PixmapCache = QCache<QString, QPixmap>;

    qreal devicePixelRatio() const;
    ImageCache& renderedImageCache(qreal devicePixelRatio);
    IconCache& renderedIconCache(qreal devicePixelRatio);

    Environment m_environment;
    std::map<qreal, std::unique_ptr<ImageCache>> m_renderedImageCaches;
    std::map<qreal, std::unique_ptr<IconCache>> m_renderedIconCaches;
    // Each size of the square form by its own key, so a change redraws only the sizes it shows in.
    PixmapCache m_squareSizeCache{squareSizeCacheLimitKiB};
    QCache<QString, QImage> m_brandIconCache{brandIconCacheLimit};
};

} // namespace vantorel
