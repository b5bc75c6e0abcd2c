#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <algorithm>

namespace vantorel {

// Fitting the main window, the popover and the sheets into a screen's available geometry: their
// one size wherever it fits, smaller where it does not (their pages scroll), and never a title bar
// or a top edge above or left of the screen.
namespace ScreenFit {

// Room kept for the window manager's title bar while a window's real decoration is unknown
// (before it was first shown).
inline constexpr QMargins assumedFrame{0, 40, 0, 0};

// The window manager's decoration around `window`, or `assumedFrame` before it has one.
inline QMargins frameOf(const QWidget* window)
{
    const QRect frameGeometry = window->frameGeometry();
    const QRect geometry = window->geometry();
    const QMargins frame(geometry.left() - frameGeometry.left(), geometry.top() - frameGeometry.top(),
                         frameGeometry.right() - geometry.right(), frameGeometry.bottom() - geometry.bottom());
    return frame.isNull() ? assumedFrame : frame;
}

// `wanted`, shrunk in each direction to what `available` leaves once `frame` (the window
// manager's decoration around the content) is counted.
inline QSize fittedSize(QSize wanted, const QRect& available, const QMargins& frame = {})
{
    const QSize room = available.marginsRemoved(frame).size();
    return {std::clamp(room.width(), 1, wanted.width()), std::clamp(room.height(), 1, wanted.height())};
}

// `frame` moved the least distance that puts it inside `available`; one larger than
// `available` keeps its top left edge on screen.
inline QRect keptInside(QRect frame, const QRect& available)
{
    // The far edges first, so that the near ones win for a frame larger than the screen.
    frame.moveRight(std::min(frame.right(), available.right()));
    frame.moveBottom(std::min(frame.bottom(), available.bottom()));
    frame.moveLeft(std::max(frame.left(), available.left()));
    frame.moveTop(std::max(frame.top(), available.top()));
    return frame;
}

// Gives `content` (the root view of a window of `height`) a minimum height no larger than
// `height`, so a shorter window shows the root view whole instead of cutting off its bottom;
// `wantedMinimum` is the root view's own minimum.
inline void fitContentHeight(QWidget* content, int wantedMinimum, int height)
{
    if (content)
        content->setMinimumHeight(std::min(wantedMinimum, height));
}

} // namespace ScreenFit

} // namespace vantorel
