#pragma once

#include <QColor>
#include <QString>

namespace vantorel {

// The named colours that the gauge image is drawn with, resolved for one appearance. The values
// approximate the desktop's light and dark system colours; `name` enters the image cache key.
// Every colour is opaque: the drawing gives each use its own opacity, which replaces the alpha.
struct MenuBarPalette {
    QString name;
    QColor label;
    QColor secondaryLabel;
    QColor windowBackground;
    QColor controlBackground;
    QColor separator;
    QColor systemRed;
    QColor systemOrange;
    QColor systemGreen;

    static MenuBarPalette light();
    static MenuBarPalette dark();

    bool operator==(const MenuBarPalette&) const = default;
};

} // namespace vantorel
