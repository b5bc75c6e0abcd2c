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
    // A text field's placeholder, enabled or not: the only label of several fields, so at least
    // 4.5 : 1 on the field, and still fainter than the text typed there.
    QColor placeholderText;
    // A text field's border: at least 3 : 1 against the field and against the window around it.
    QColor textFieldBorder;

    // Text drawn in the secondary or tertiary grey, the accent, orange, green or red takes a shade
    // of that colour which reads at least 4.5 : 1 on the window, the sidebar and the tinted cards,
    // capsules and selections (the system's own orange falls to 1.6 : 1 there in light mode, its
    // tertiary grey to 1.9 : 1). Icons, dots, bars and chart lines keep the system colours. The
    // secondary grey's shade, `secondaryText`, is the gauge palette's.
    QColor tertiaryText;
    QColor accentText;
    QColor orangeText;
    QColor greenText;
    QColor redText;
    // A fill in the accent with white text on it: white reads 4.5 : 1 there (3.65 : 1 on the dark
    // accent itself) and the fill still stands 3 : 1 apart from a dark track.
    QColor accentTextFill;
    // The red of a destructive button, under its white title: 5.4 : 1 (the system red gives 3.5).
    QColor redTextFill;

    static SystemColors light();
    static SystemColors dark();
    // The colours ApplicationPalette last applied (light before that).
    static const SystemColors& current();

    static QColor withOpacity(QColor color, qreal opacity);

    // The colour text asked to be drawn in `color` is drawn in: the text shade of a system colour
    // that has one, else `color` itself.
    QColor textShade(const QColor& color) const;

    bool operator==(const SystemColors&) const = default;
};

} // namespace vantorel
