#pragma once

#include <QRectF>

class QAbstractScrollArea;
class QPainter;
class QWidget;

namespace vantorel {

// The kit's keyboard focus ring. A control asks for it with `track` once and draws it with
// `paint` while `isShown`: while it has the focus and a key of the user put it there (Tab,
// Backtab or an arrow key moved it, or a shortcut gave it). A focus that the program moves (a
// control that disables itself, a page that opens or replaces the clicked one) or a click gives
// shows none. A ring that leaves with its window comes back with it, to that control only.
// Buttons take Return exactly while the ring is shown (`ButtonKeys`).
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
