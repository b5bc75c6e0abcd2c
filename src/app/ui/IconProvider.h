#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

namespace vantorel {

// Draws the application's symbols, looked up by their symbol names ("gearshape", "chevron.left").
// Each is one monochrome SVG of our own in the resources (icons/<name>.svg), rendered in the
// asked colour at the asked device pixel ratio. Results are cached per name, size, colour and
// ratio, so widgets may ask again on every paint. GUI thread only.
class IconProvider
{
public:
    IconProvider() = delete;

    // A square pixmap of `size` logical pixels. An unknown name gives a placeholder frame (logged
    // once per name), never a null pixmap.
    static QPixmap pixmap(const QString& name, int size, const QColor& color, qreal devicePixelRatio);

    // Forgets every cached pixmap and parsed drawing; later calls draw afresh. For when the
    // windows that asked for them are gone, so that an idle application does not keep them.
    static void releaseCaches();

    // True when the set has a valid drawing for `name`.
    static bool hasSymbol(const QString& name);

    // The symbol size that matches text of `fontPixelSize` (symbols stand a little taller than
    // the cap height of the text beside them).
    static int symbolSize(int fontPixelSize);

    // Property that widgets showing a symbol set to its name, so tests can read it.
    static constexpr auto symbolProperty = "sfSymbol";
};

} // namespace vantorel
