#pragma once

#include "app/ui/MenuBarGaugeImageRenderer.h"

#include <cmath>

namespace vantorel::gaugetest {

inline MenuBarGaugeValue fiveHour(std::optional<double> percent) { return {MenuBarUsageWindow::fiveHour, percent}; }
inline MenuBarGaugeValue weekly(std::optional<double> percent) { return {MenuBarUsageWindow::weekly, percent}; }

inline QImage solidImage(const QColor& color)
{
    QImage image(44, 44, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

// A renderer whose platform answers the test sets, counting brand-image look-ups.
struct RendererRig {
    MenuBarPalette palette = MenuBarPalette::light();
    qreal ratio = 1;
    QImage codexIcon, claudeIcon, applicationIcon;
    int codexLookups = 0, claudeLookups = 0;
    MenuBarGaugeImageRenderer renderer{{
        .appearance = [this] { return palette; },
        .devicePixelRatio = [this] { return ratio; },
        .loadBrandIcon =
            [this](const QString& name) {
                const bool claude = name == MenuBarGaugeImageRenderer::claudeIconName;
                ++(claude ? claudeLookups : codexLookups);
                return claude ? claudeIcon : codexIcon;
            },
        .applicationIcon = [this] { return applicationIcon; },
    }};
};

// The pixel under a point given in points from the bottom-left corner, y up; un-premultiplied.
inline QColor pixelAt(const QImage& image, double x, double yUp)
{
    const double ratio = image.devicePixelRatio();
    return image.pixelColor(int(std::floor(x * ratio)),
                            int(std::floor((MenuBarGaugeImageRenderer::imageHeight - yUp) * ratio)))
        .toRgb();
}

} // namespace vantorel::gaugetest
