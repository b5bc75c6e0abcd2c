#pragma once

#include "app/ui/MenuBarGaugeInput.h"
#include "app/ui/MenuBarGaugePanelPicture.h"
#include "app/ui/MenuBarGaugeSquarePicture.h"
#include "app/ui/MenuBarPalette.h"

#include <QCache>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QObject>
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
// the picture depends on; a cache hit returns the very same (implicitly shared) image. The panel
// and the square pictures are drawn by `MenuBarGaugePanelPicture` and `MenuBarGaugeSquarePicture`.
// Main thread only.
class MenuBarGaugeImageRenderer {
public:
    static constexpr int imageHeight = MenuBarGaugePanelPicture::imageHeight;
    static constexpr int renderedImageCacheLimit = 512;
    static constexpr int brandIconCacheLimit = 8;
    // Tray hosts show square icons only; the square form comes in these sizes (logical pixels).
    static constexpr std::array<int, 7> squareIconSizes{16, 20, 22, 24, 32, 48, 64};
    // Smaller sizes never show the centre number: a host of that size takes a picture without
    // it instead of shrinking a numbered one until the digits blur.
    static constexpr int squareSmallestNumberedSide = 22;
    // A size of the square form shows its centre number only where the digits can be this tall
    // (logical pixels); smaller digits cannot be read in a panel, so that size shows none.
    static constexpr qreal squareMinimumDigitHeight = 9;
    static inline const QString& codexIconName = MenuBarGaugeInput::codexIconName;
    static inline const QString& claudeIconName = MenuBarGaugeInput::claudeIconName;

    // Everything the picture shows.
    using Input = MenuBarGaugeInput;

    // What the renderer reads from the platform. Each member is called on every `make`, except
    // `loadBrandIcon`, which is called only when the brand-icon cache misses.
    struct Environment {
        std::function<MenuBarPalette()> appearance;
        std::function<qreal()> devicePixelRatio;
        // The brand image of an icon name, or a null image when there is none.
        std::function<QImage(const QString& iconName)> loadBrandIcon;
        // The application's own icon for the disabled indicator; a null image draws none.
        std::function<QImage()> applicationIcon;
        // Has `changed` called, for as long as `context` lives, whenever `appearance` may answer
        // differently; empty when it never does.
        std::function<void(QObject* context, std::function<void()> changed)> onAppearanceChange;
    };

    // The desktop's appearance and its changes, the primary screen's pixel ratio, the brand
    // images from ":/Brand/<name>.png" and the application's window icon.
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

    // The picture for `input`, from the cache of the current pixel ratio when its key is there.
    QImage make(const Input& input);
    // The square tray form of the same picture, shaped by the same choices: the compact layout
    // shows one ring per enabled provider (Codex outside, Claude inside) for the window a compact
    // cell would show, the detailed layout one ring per shown window. The centre holds the lowest
    // remaining percentage in the compact layout or with `remainingPercent` labels where its
    // digits can be read (never below `squareSmallestNumberedSide`), a dash while no ring has a
    // reading; no provider shows the disabled indicator. Rings without a reading are dashed, and
    // the picture is outlined in a contrasting colour so that it reads on light and dark panels
    // alike. The icon offers every size of `squareIconSizes` at the current pixel ratio and draws
    // a size only when the tray asks for it, at whatever size the tray shows it; drawing one size
    // takes well under a millisecond. The same input again returns the same icon (same
    // `cacheKey()`); sizes that look the same as in the picture before are taken from it.
    QIcon makeSquare(const Input& input);
    // Has `changed` called in `context` whenever the appearance may have changed.
    void followAppearance(QObject* context, std::function<void()> changed) const;
    // Bytes of the sizes drawn for the current square picture: all the square form holds, since
    // a new picture keeps only what it shares with the one before.
    qsizetype squareBytes() const;

    // Width in points of the image `make` returns for `input`; the status item's length.
    static int imageWidth(const Input& input);
    static int detailedProviderWidth(const QList<MenuBarGaugeValue>& values, MenuBarGaugeLabelStyle labelStyle,
                                     MenuBarProviderIdentityStyle identityStyle);
    // Measured width of a percentage text in the 17-point bold monospaced font, rounded up.
    static int percentageTextWidth(const QString& text);
    // The value a compact cell shows: the first without a percentage, else the lowest (earliest
    // on ties); nothing for an empty list.
    static std::optional<MenuBarGaugeValue> compactSelection(const QList<MenuBarGaugeValue>& values);
    static QList<MenuBarGaugePanelPicture::ValueKey> cacheValues(const QList<MenuBarGaugeValue>& values);
    static MenuBarGaugePanelPicture::Key cacheKey(const QString& appearanceName, const Input& input);
    static MenuBarGaugeSquarePicture::Key squareCacheKey(const QString& appearanceName, const Input& input);
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
    using ImageCache = QCache<MenuBarGaugePanelPicture::Key, QImage>;

    qreal devicePixelRatio() const;
    ImageCache& renderedImageCache(qreal devicePixelRatio);

    Environment m_environment;
    std::map<qreal, std::unique_ptr<ImageCache>> m_renderedImageCaches;
    // The current square picture and its icon; the icons the tray was given before hold their own.
    std::shared_ptr<MenuBarGaugeSquarePicture> m_square;
    QIcon m_squareIcon;
    QCache<QString, QImage> m_brandIconCache{brandIconCacheLimit};
};

} // namespace vantorel
