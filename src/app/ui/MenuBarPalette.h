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
    // Text in the secondary grey takes this shade of it: 4.5 : 1 on the window and on the
    // pictures' capsules (the grey itself gives 3.3 : 1 in light).
    QColor secondaryText;
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
