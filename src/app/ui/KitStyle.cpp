#include "app/ui/KitStyle.h"

#include "app/ui/ButtonKeys.h"
#include "app/ui/FocusRing.h"
#include "app/ui/SystemColors.h"

#include <QPushButton>
#include <QScrollArea>

#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

#include <algorithm>

namespace vantorel {

namespace {

// Between a push button's icon and its title, as Qt's own button lays them out.
constexpr int buttonIconSpacing = 4;
constexpr qreal textFieldRadius = 4;

// Where the handle of a scroll bar sits along its length, and how long it is.
struct ScrollHandle {
    int position = 0;
    int length = 0;
};

ScrollHandle scrollHandle(const QStyleOptionSlider& bar)
{
    const int trackLength = bar.orientation == Qt::Horizontal ? bar.rect.width() : bar.rect.height();
    const qint64 range = qint64(bar.maximum) - bar.minimum;
    int length = trackLength;
    if (range > 0) {
        const qint64 proportional = qint64(trackLength) * bar.pageStep / (range + bar.pageStep);
        length = int(std::max<qint64>(proportional, KitStyle::minimumScrollHandleLength));
    }
    length = std::min(length, trackLength);
    const int position = QStyle::sliderPositionFromValue(bar.minimum, bar.maximum, bar.sliderPosition,
                                                         trackLength - length, bar.upsideDown);
    return {position, length};
}

QRect alongBar(const QStyleOptionSlider& bar, int from, int length)
{
    const QRect& r = bar.rect;
    return bar.orientation == Qt::Horizontal ? QRect(r.x() + from, r.y(), length, r.height())
                                             : QRect(r.x(), r.y() + from, r.width(), length);
}

} // namespace

KitStyle::KitStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{
}

int KitStyle::pushButtonWidth(const QFontMetrics& metrics, const QString& text, int iconWidth)
{
    const int textWidth = metrics.size(Qt::TextShowMnemonic, text).width();
    const int icon = iconWidth > 0 ? iconWidth + buttonIconSpacing : 0;
    return textWidth + icon + 2 * buttonHorizontalPadding;
}

QSize KitStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                 const QWidget* widget) const
{
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type != CT_PushButton)
        return result;
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (!button || button->text.isEmpty())
        return result;
    const int frame = 2 * pixelMetric(PM_DefaultFrameWidth, option, widget);
    const int iconWidth = button->icon.isNull() ? 0 : button->iconSize.width();
    result.setWidth(std::max(pushButtonWidth(button->fontMetrics, button->text, iconWidth) + frame,
                             minimumButtonWidth));
    return result;
}

void KitStyle::polish(QWidget* widget)
{
    QProxyStyle::polish(widget);
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        ButtonKeys::install(button);
    if (qobject_cast<QPushButton*>(widget))
        FocusRing::track(widget);
    else if (auto* area = qobject_cast<QScrollArea*>(widget); area && area->focusPolicy() != Qt::NoFocus)
        FocusRing::ringScrollArea(area);
}

int KitStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    case PM_ScrollBarExtent:
        return scrollBarExtent;
    case PM_ScrollBarSliderMin:
        return minimumScrollHandleLength;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int KitStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                        QStyleHintReturn* returnData) const
{
    if (hint == SH_LineEdit_PasswordCharacter)
        return passwordCharacter;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QRect KitStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                               const QWidget* widget) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || !bar)
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    const ScrollHandle handle = scrollHandle(*bar);
    const int trackLength = bar->orientation == Qt::Horizontal ? bar->rect.width() : bar->rect.height();
    switch (subControl) {
    case SC_ScrollBarGroove:
        return bar->rect;
    case SC_ScrollBarSlider:
        return alongBar(*bar, handle.position, handle.length);
    case SC_ScrollBarSubPage:
        return alongBar(*bar, 0, handle.position);
    case SC_ScrollBarAddPage:
        return alongBar(*bar, handle.position + handle.length, trackLength - handle.position - handle.length);
    default:
        // No arrow buttons: every other part is empty.
        return {};
    }
}

void KitStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                  const QWidget* widget) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || !bar) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    if (bar->maximum <= bar->minimum)
        return;
    const SystemColors& colors = SystemColors::current();
    const bool active = (bar->activeSubControls & SC_ScrollBarSlider) && (bar->state & (State_MouseOver | State_Sunken));
    const QRectF handle = QRectF(subControlRect(control, option, SC_ScrollBarSlider, widget)).adjusted(1.5, 1.5, -1.5, -1.5);
    const qreal radius = std::min(handle.width(), handle.height()) / 2;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(SystemColors::withOpacity(colors.secondaryLabel, active ? 0.9 : 0.7));
    painter->drawRoundedRect(handle, radius, radius);
    painter->restore();
}

void KitStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                           const QWidget* widget) const
{
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (element != CE_PushButtonBevel || !widget || !button) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    // Fusion marks a focused button much as it marks the default one; the kit's ring says which
    // one has the focus, and only when the keyboard moved it.
    const bool ring = FocusRing::isShown(widget);
    if (!widget->property(destructiveProperty).toBool()) {
        QStyleOptionButton bevel = *button;
        bevel.state &= ~State_HasFocus;
        QProxyStyle::drawControl(element, &bevel, painter, widget);
        if (ring)
            FocusRing::paint(*painter, QRectF(option->rect), textFieldRadius);
        return;
    }
    const SystemColors& colors = SystemColors::current();
    const bool enabled = option->state & State_Enabled;
    const bool pressed = option->state & State_Sunken;
    QColor fill = pressed ? colors.redTextFill.darker(115) : colors.redTextFill;
    if (!enabled)
        fill = SystemColors::withOpacity(colors.systemRed, 0.45);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(fill);
    painter->drawRoundedRect(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5), textFieldRadius, textFieldRadius);
    painter->restore();
    if (ring)
        FocusRing::paint(*painter, QRectF(option->rect), textFieldRadius);
}

void KitStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const
{
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    if (element != PE_PanelLineEdit || !frame || frame->lineWidth <= 0) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const SystemColors& colors = SystemColors::current();
    const bool enabled = option->state & State_Enabled;
    const bool focused = option->state & State_HasFocus;
    QColor border = focused ? colors.accent
        : enabled           ? colors.textFieldBorder
                            : SystemColors::withOpacity(colors.secondaryLabel, disabledTextFieldBorderOpacity);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(option->palette.brush(enabled ? QPalette::Active : QPalette::Disabled, QPalette::Base));
    painter->setPen(QPen(border, focused ? 1.5 : 1));
    const qreal inset = focused ? 0.75 : 0.5;
    painter->drawRoundedRect(QRectF(option->rect).adjusted(inset, inset, -inset, -inset), textFieldRadius,
                             textFieldRadius);
    painter->restore();
}

} // namespace vantorel
