#pragma once

#include "app/ui/MenuBarPalette.h"

namespace vantorel {

// Every named system colour the window uses, for one appearance. All are opaque: a colour "at
// N % opacity" is made with `withOpacity`, which sets the alpha once rather than multiplying a
// translucent colour again. The colours shared with the menu-bar gauge are the gauge palette's.
struct SystemColors : MenuBarPalette {
    QColor tertiaryLabel;
    QColor accent;
    QColor systemBlue;
    QColor systemTeal;
    QColor systemPurple;
    QColor systemYellow;
    QColor systemGray;
    QColor textBackground;

    static SystemColors light();
    static SystemColors dark();
    // The colours ApplicationPalette last applied (light before that).
    static const SystemColors& current();

    static QColor withOpacity(QColor color, qreal opacity);

    bool operator==(const SystemColors&) const = default;
};

} // namespace vantorel
