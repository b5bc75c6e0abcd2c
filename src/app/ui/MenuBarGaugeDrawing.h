#pragma once

#include "app/ui/MenuBarPalette.h"
#include "core/model/UsageGaugeColorBand.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QHashFunctions>
#include <QImage>
#include <QSize>

#include <functional>
#include <optional>

namespace vantorel {

// What the panel and the square pictures draw with: canvases, faces, colours and the one way of
// drawing off the thread pool's splitting.
struct MenuBarGaugeDrawing {
    // The layout was drawn for digits in half-em cells; the number faces' digits are 0.6 em wide,
    // and Qt scales a scalable face horizontally to the asked stretch.
    static constexpr int monospacedStretch = 83;

    // A remaining percentage as the pictures show it: its colour band and whole clamped value,
    // `unavailable` and 0 without a reading (NaN included).
    struct PercentKey {
        UsageGaugeColorBand band = UsageGaugeColorBand::unavailable;
        int whole = 0;

        static PercentKey of(std::optional<double> percent);
        bool operator==(const PercentKey&) const = default;
    };

    // A transparent image at 72 dots per inch, so that a font's point size is one logical pixel.
    static QImage makeCanvas(QSize pixels, qreal devicePixelRatio);
    // Metrics of `font` on such a canvas.
    static QFontMetricsF metrics(const QFont& font);
    static QFont makeFont(const QStringList& families, QFont::StyleHint hint, qreal pointSize, QFont::Weight weight);
    // See `MenuBarGaugeImageRenderer::numberFont`.
    static QFont numberFont(qreal pointSize, QFont::Weight weight = QFont::Bold);
    // NaN is drawn like a missing value, as the cache keys treat it; infinities clamp like any value.
    static std::optional<double> knownPercent(std::optional<double> percent);
    // "Colour at N % opacity": the alpha becomes N %, it is not multiplied into the colour's own.
    static QColor withOpacity(QColor color, qreal opacity);
    // Arc colour of a remaining percentage: secondary when unknown, then red, orange, green.
    static QColor color(std::optional<double> percent, const MenuBarPalette& palette);
    // Runs `draw` as one task on the thread pool, waiting for it; see the definition for why.
    static void drawSerially(const std::function<void()>& draw);
};

inline size_t qHash(const MenuBarGaugeDrawing::PercentKey& key, size_t seed = 0) noexcept
{
    return qHashMulti(seed, int(key.band), key.whole);
}

} // namespace vantorel
