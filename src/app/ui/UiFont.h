#pragma once

#include <QFont>

namespace vantorel {

// The fonts of the window. Sizes are logical pixels (a point of the original layout is one
// logical pixel here), so they are set with setPixelSize: the desktop's point-to-pixel factor
// must not change the layout. "Noto Sans CJK JP" follows the desktop family, so Han characters
// take their Japanese forms instead of whatever the generic fallback picks.
class UiFont
{
public:
    UiFont() = delete;

    static QFont system(int pixelSize, QFont::Weight weight = QFont::Normal);

    static QFont callout() { return system(12); }
    static QFont subheadline() { return system(11); }
    static QFont caption() { return system(10); }
    static QFont caption2() { return system(10, QFont::Medium); }
    static QFont headline() { return system(13, QFont::Bold); }
    static QFont sectionTitle() { return system(13, QFont::DemiBold); }

    // The same font with digits of equal width, so counters and times do not jitter.
    static QFont monospacedDigits(const QFont& font);

    // Lets go of every font face the calling thread loaded, with its glyph caches and its mapped
    // file, except those that text still laid out holds (a line edit's, a text document's); the
    // next text drawn in such a face loads it again. GUI thread.
    static void releaseUnusedFaces();

    static constexpr auto japaneseFamily = "Noto Sans CJK JP";
};

} // namespace vantorel
