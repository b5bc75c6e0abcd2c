#include "app/ui/FocusRing.h"

#include "app/ui/SystemColors.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include <algorithm>

namespace vantorel {

namespace {

constexpr auto keyboardFocusProperty = "kitKeyboardFocus";
// On a window: the control that had its focus when the window, or a popup, last took it away.
constexpr auto leftWithWindowProperty = "kitFocusLeftWithWindow";

// Watches every focus change of the application and notes on the control that gets the focus
// whether a key of the user's put it there. Qt marks a window with WA_KeyboardFocusChange when
// Tab, Backtab or an arrow key moves its focus while that key is being delivered, or a
// shortcut gives it, right before the control's FocusIn; it never clears the mark. The reason
// alone cannot tell: a control that disables itself passes the focus on with TabFocusReason.
// So the filter reads the mark at each FocusIn and clears it, and the next change finds it set
// only if that change was the keyboard's. Qt's own styles therefore never see the mark: a control
// that shows the keyboard focus draws the kit's ring.
class KeyboardFocusFilter final : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type != QEvent::FocusIn && type != QEvent::FocusOut) || !watched->isWidgetType())
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Leaving with its window or for a popup, a control keeps what it had, so that the ring
        // comes back with the window to this same control and to no other.
        const bool withWindow = reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
        auto* control = static_cast<QWidget*>(watched);
        QWidget* window = control->window();
        if (type == QEvent::FocusOut) {
            if (withWindow)
                window->setProperty(leftWithWindowProperty, QVariant::fromValue(QPointer<QWidget>(control)));
            else
                control->setProperty(keyboardFocusProperty, false);
            return false;
        }
        // The program may move the focus while the window is away, and Qt tells no control of it:
        // a control the window comes back to is the one that left with it, or its note is stale.
        const bool cameBack = window->property(leftWithWindowProperty).value<QPointer<QWidget>>() == control;
        if (!withWindow || !cameBack)
            control->setProperty(keyboardFocusProperty,
                                 !withWindow && window->testAttribute(Qt::WA_KeyboardFocusChange));
        window->setAttribute(Qt::WA_KeyboardFocusChange, false);
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
    // The application's filter runs before the ring's own, so the ring sees the decided focus.
    track(area);
}

void FocusRing::track(QWidget*)
{
    static KeyboardFocusFilter filter;
    // Every FocusIn must clear the mark, a field's or a label's as much as a ringed control's, or
    // a later focus that the program moves would find it left over. Qt moves a filter installed
    // twice instead of adding it again.
    if (QCoreApplication* application = QCoreApplication::instance())
        application->installEventFilter(&filter);
}

bool FocusRing::isShown(const QWidget* control)
{
    return control->hasFocus() && control->property(keyboardFocusProperty).toBool();
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
