#pragma once

#include "app/shell/MenuBarGaugeImageRenderer.h"
#include "app/shell/MenuBarPalette.h"

#include <QColor>
#include <QImage>

#include <cmath>
#include <optional>

namespace vantorel::gaugetest {

inline MenuBarGaugeValue fiveHour(std::optional<double> percent)
{
    return MenuBarGaugeValue{MenuBarUsageWindow::fiveHour, percent};
}

inline MenuBarGaugeValue weekly(std::optional<double> percent)
{
    return MenuBarGaugeValue{MenuBarUsageWindow::weekly, percent};
}

// A renderer whose platform answers are set by the test, counting brand-image look-ups.
struct RendererRig {
    MenuBarPalette palette = MenuBarPalette::light();
    qreal ratio = 1;
    QImage codexIcon;
    QImage claudeIcon;
    QImage applicationIcon;
    int codexLookups = 0;
    int claudeLookups = 0;
    MenuBarGaugeImageRenderer renderer{MenuBarGaugeImageRenderer::Environment{
        .appearance = [this] { return palette; },
        .devicePixelRatio = [this] { return ratio; },
        .loadBrandIcon =
            [this](const QString& name) {
                if (name == MenuBarGaugeImageRenderer::claudeIconName) {
                    ++claudeLookups;
                    return claudeIcon;
                }
                ++codexLookups;
                return codexIcon;
            },
        .applicationIcon = [this] { return applicationIcon; },
    }};
};

inline QImage solidImage(const QColor& color, int side = 44)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

// The colour of the device pixel under a point given in points with the origin at the
// bottom-left of the image and y growing upwards, un-premultiplied.
inline QColor pixelAt(const QImage& image, double x, double yUp)
{
    const double ratio = image.devicePixelRatio();
    const int column = int(std::floor(x * ratio));
    const int row = int(std::floor((MenuBarGaugeImageRenderer::imageHeight - yUp) * ratio));
    return image.convertToFormat(QImage::Format_ARGB32).pixelColor(column, row);
}

// A point on a circle, the angle counter-clockwise from 3 o'clock, y up.
inline std::pair<double, double> onCircle(double centreX, double centreY, double radius, double degrees)
{
    const double radians = degrees * M_PI / 180;
    return {centreX + radius * std::cos(radians), centreY + radius * std::sin(radians)};
}

inline int colourDistance(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// Whether a pixel shows an opaque arc stroke of the given colour.
inline bool isArc(const QColor& pixel, const QColor& arc)
{
    return pixel.alpha() > 200 && colourDistance(pixel, arc) < 60;
}

} // namespace vantorel::gaugetest
