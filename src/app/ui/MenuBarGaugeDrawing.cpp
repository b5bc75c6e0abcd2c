#include "app/ui/MenuBarGaugeDrawing.h"

#include "core/model/UsageGaugeStyle.h"

#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <cmath>

namespace vantorel {

namespace {

// Images are set to 72 dots per inch so that a font's point size is one logical pixel, the
// unit every size and position of the pictures is given in.
constexpr int dotsPerMeterAt72Dpi = 2835;

const QImage& measuringDevice()
{
    static const QImage device = MenuBarGaugeDrawing::makeCanvas(QSize(1, 1), 1);
    return device;
}

} // namespace

MenuBarGaugeDrawing::PercentKey MenuBarGaugeDrawing::PercentKey::of(std::optional<double> percent)
{
    const auto known = knownPercent(percent);
    if (!known)
        return {};
    return {.band = UsageGaugeStyle::colorBand(known), .whole = UsageGaugeStyle::wholeClampedPercent(*known)};
}

QImage MenuBarGaugeDrawing::makeCanvas(QSize pixels, qreal devicePixelRatio)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDotsPerMeterX(dotsPerMeterAt72Dpi);
    image.setDotsPerMeterY(dotsPerMeterAt72Dpi);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    return image;
}

QFontMetricsF MenuBarGaugeDrawing::metrics(const QFont& font)
{
    return QFontMetricsF(font, &measuringDevice());
}

QFont MenuBarGaugeDrawing::makeFont(const QStringList& families, QFont::StyleHint hint, qreal pointSize,
                                    QFont::Weight weight)
{
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setFixedPitch(hint == QFont::Monospace);
    font.setPointSizeF(pointSize);
    font.setWeight(weight);
    // Unhinted outlines measure the same at every pixel ratio, so widths agree across screens.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QFont MenuBarGaugeDrawing::numberFont(qreal pointSize, QFont::Weight weight)
{
    // The numbers and window titles are drawn while the tray is all there is: a CJK face, whose
    // files are several megabytes, would stay mapped for them.
    static const QStringList families{QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono")};
    auto font = makeFont(families, QFont::Monospace, pointSize, weight);
    font.setStretch(monospacedStretch);
    return font;
}

std::optional<double> MenuBarGaugeDrawing::knownPercent(std::optional<double> percent)
{
    if (percent && !std::isnan(*percent))
        return percent;
    return std::nullopt;
}

QColor MenuBarGaugeDrawing::withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(opacity);
    return color;
}

QColor MenuBarGaugeDrawing::color(std::optional<double> percent, const MenuBarPalette& palette)
{
    switch (UsageGaugeStyle::colorBand(knownPercent(percent))) {
    case UsageGaugeColorBand::unavailable:
        return palette.secondaryLabel;
    case UsageGaugeColorBand::critical:
        return palette.systemRed;
    case UsageGaugeColorBand::warning:
        return palette.systemOrange;
    case UsageGaugeColorBand::healthy:
        break;
    }
    return palette.systemGreen;
}

// Qt's raster engine hands every fill of more than about a hundred spans to the global thread
// pool unless it already runs on one of the pool's threads. For images this small the hand-offs
// cost several times the drawing itself, so the drawing runs as one task on a free pool thread.
void MenuBarGaugeDrawing::drawSerially(const std::function<void()>& draw)
{
    auto* pool = QThreadPool::globalInstance();
    if (pool->contains(QThread::currentThread())) {
        draw();
        return;
    }
    QSemaphore finished;
    if (!pool->tryStart([&] {
            draw();
            finished.release();
        })) {
        draw();
        return;
    }
    finished.acquire();
}

} // namespace vantorel
