#include "app/ui/HorizontalDivider.h"

#include "app/ui/SystemColors.h"

#include <QPainter>

namespace vantorel {

HorizontalDivider::HorizontalDivider(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void HorizontalDivider::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), SystemColors::current().separator);
}

} // namespace vantorel
