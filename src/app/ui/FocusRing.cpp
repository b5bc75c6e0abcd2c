#include "app/ui/FocusRing.h"

#include "app/ui/SystemColors.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace vantorel {

namespace {

constexpr auto focusByMouseProperty = "kitFocusByMouse";

// One filter for every tracked control: it only notes how each one got its focus.
class FocusReasonFilter final : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::FocusIn)
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Focus coming back with its window or after a popup keeps what it was.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            watched->setProperty(focusByMouseProperty, reason == Qt::MouseFocusReason);
        return false;
    }
};

constexpr qreal scrollAreaRingRadius = 6;
const QString scrollAreaRingName = QStringLiteral("scrollArea.focusRing");

// Lies over a scroll area, lets every pointer event through and shows only while the area has a
// keyboard focus: the area's own page would hide a ring drawn by the area.
class ScrollAreaRing final : public QWidget
{
public:
    explicit ScrollAreaRing(QAbstractScrollArea* area)
        : QWidget(area)
    {
        setObjectName(scrollAreaRingName);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
        area->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::FocusIn || type == QEvent::FocusOut || type == QEvent::Resize) {
            auto* area = static_cast<QWidget*>(watched);
            setGeometry(area->rect());
            setVisible(FocusRing::isShown(area));
            raise();
        }
        return false;
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        FocusRing::paint(painter, QRectF(rect()), scrollAreaRingRadius);
    }
};

} // namespace

void FocusRing::ringScrollArea(QAbstractScrollArea* area)
{
    if (area->findChild<QWidget*>(scrollAreaRingName, Qt::FindDirectChildrenOnly))
        return;
    new ScrollAreaRing(area);
    // Installed after the ring's own filter, so it notes the reason before the ring looks at it.
    track(area);
}

void FocusRing::track(QWidget* control)
{
    static FocusReasonFilter filter;
    control->installEventFilter(&filter);
}

bool FocusRing::isShown(const QWidget* control)
{
    return control->hasFocus() && control->window()->testAttribute(Qt::WA_KeyboardFocusChange)
           && !control->property(focusByMouseProperty).toBool();
}

void FocusRing::paint(QPainter& painter, const QRectF& bounds, qreal radius)
{
    const SystemColors& colors = SystemColors::current();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(1);
    painter.setBrush(Qt::NoBrush);
    const qreal half = width / 2;
    painter.setPen(QPen(colors.accent, width));
    painter.drawRoundedRect(bounds.adjusted(half, half, -half, -half), std::max<qreal>(radius - half, 0),
                            std::max<qreal>(radius - half, 0));
    const qreal inner = width + 0.5;
    painter.setPen(QPen(colors.windowBackground, 1));
    painter.drawRoundedRect(bounds.adjusted(inner, inner, -inner, -inner), std::max<qreal>(radius - inner, 0),
                            std::max<qreal>(radius - inner, 0));
    painter.restore();
}

} // namespace vantorel
