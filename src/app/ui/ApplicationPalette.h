#pragma once

#include "app/ui/SystemColors.h"

namespace vantorel {

class DesktopAppearance;

// Puts the system colours into the application-wide QPalette and keeps them following the
// desktop's light or dark preference. The kit's style (Fusion underneath) is set as well, so
// sizes and margins never depend on the desktop's widget style.
class ApplicationPalette
{
public:
    ApplicationPalette() = delete;

    // Sets the style, the font and the palette for the appearance's current scheme and follows
    // its `changed()` for as long as it lives.
    static void install(DesktopAppearance& appearance);

    // The kit's style and the 13 px window font with Japanese glyph forms, for widgets that set
    // no font of their own.
    static void applyStyleAndFont();

    // Applies one set of colours; widgets repaint through the palette change.
    static void apply(const SystemColors& colors);

    static const SystemColors& colors();
};

} // namespace vantorel
