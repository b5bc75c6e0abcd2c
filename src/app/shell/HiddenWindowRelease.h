#pragma once

#include <QMetaObject>
#include <QWidget>

#include <utility>

namespace vantorel {

// A kept top-level (the main window, the popover) holds a native window and, behind it, an image
// of its size that the display server shares (a megabyte at 482 × 560) while hidden. Once control
// is back in the event loop and `window` is still hidden, with no window of its own (a dialog of
// its pages) open, `destroy` (the widget's QWidget::destroy) gives both back; the next showing
// makes them again, where the window was.
template<typename Destroy>
void releaseNativeWindowOnceHidden(QWidget* window, Destroy destroy)
{
    QMetaObject::invokeMethod(
        window,
        [window, destroy = std::move(destroy)] {
            if (window->isVisible())
                return;
            for (const QWidget* child : window->findChildren<QWidget*>())
                if (child->isWindow() && child->isVisible())
                    return;
            destroy();
        },
        Qt::QueuedConnection);
}

} // namespace vantorel
