#include "app/ui/SymbolView.h"

#include "app/ui/IconProvider.h"
#include "app/ui/SystemColors.h"

#include <QPainter>

namespace vantorel {

SymbolView::SymbolView(const QString& name, int size, ColorPick color, QWidget* parent)
    : QWidget(parent)
    , m_size(size)
    , m_color(std::move(color))
{
    setFixedSize(size, size);
    setSymbol(name);
}

void SymbolView::setSymbol(const QString& name)
{
    m_name = name;
    setProperty(IconProvider::symbolProperty, name);
    update();
}

void SymbolView::setColor(ColorPick color)
{
    m_color = std::move(color);
    update();
}

void SymbolView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!isEnabled())
        painter.setOpacity(0.45);
    const QPixmap pixmap = IconProvider::pixmap(m_name, m_size, m_color(SystemColors::current()), devicePixelRatioF());
    painter.drawPixmap(QPoint((width() - m_size) / 2, (height() - m_size) / 2), pixmap);
}

} // namespace vantorel
