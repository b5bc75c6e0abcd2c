#include "app/ui/Stepper.h"

#include <QStyle>
#include <QStyleOption>

namespace vantorel {

Stepper::Stepper(QWidget* parent)
    : QSpinBox(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize Stepper::sizeHint() const
{
    // As wide as the style's buttons and frame, which leaves the number's field no room.
    constexpr int probeWidth = 100;
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const int height = QSpinBox::sizeHint().height();
    option.rect = QRect(0, 0, probeWidth, height);
    const QRect field = style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxEditField, this);
    return {probeWidth - field.width(), height};
}

} // namespace vantorel
