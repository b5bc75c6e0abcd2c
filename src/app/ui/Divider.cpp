#include "app/ui/Divider.h"

#include "app/ui/SystemColors.h"

#include <QPainter>

namespace vantorel {

Divider::Divider(Qt::Orientation orientation, int leadingIndent, QWidget* parent)
    : QWidget(parent)
    , m_orientation(orientation)
    , m_leadingIndent(leadingIndent)
{
    if (orientation == Qt::Horizontal)
        setFixedHeight(1);
    else
        setFixedWidth(1);
}

void Divider::paintEvent(QPaintEvent*)
{
    QRect line = rect();
    if (m_orientation == Qt::Horizontal)
        line.setLeft(m_leadingIndent);
    QPainter(this).fillRect(line, SystemColors::current().separator);
}

} // namespace vantorel
