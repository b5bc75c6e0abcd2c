#pragma once

#include <QRectF>

class QAbstractScrollArea;
class QPainter;
class QWidget;

namespace vantorel {

// The kit's keyboard focus ring. A control asks for it with `track` once and draws it with
// `paint` while `isShown`: while it has the focus, the keyboard moved the focus in its window
// (Tab, Backtab or a shortcut, as Qt's own styles decide) and the control did not get it from
// a click.
class FocusRing
{
public:
    FocusRing() = delete;

    static void track(QWidget* control);
    static bool isShown(const QWidget* control);
    // A scroll area takes the focus to scroll by keys but has no shape of its own: it gets a
    // ring round its edge, drawn above its page. Once per area; later calls do nothing.
    static void ringScrollArea(QAbstractScrollArea* area);

    // Draws the ring along the inside of the rounded rectangle `bounds`: the accent colour, with a
    // thin line of the window colour inside it so that it also reads on an accent fill.
    static void paint(QPainter& painter, const QRectF& bounds, qreal radius);

    static constexpr qreal width = 2;
};

} // namespace vantorel
