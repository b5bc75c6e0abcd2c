#include "app/ui/IconButton.h"

#include "app/ui/FocusRing.h"
#include "app/ui/IconProvider.h"
#include "app/ui/SystemColors.h"

#include <QPainter>

namespace vantorel {

namespace {

constexpr int symbolFontSize = 13;
constexpr qreal iconFocusRadius = 6;

} // namespace

IconButton::IconButton(const QString& systemName, const QString& accessibilityLabel, QWidget* parent)
    : QAbstractButton(parent)
{
    setAccessibleName(accessibilityLabel);
    setFixedSize(frameSize, frameSize);
    setCursor(Qt::PointingHandCursor);
    FocusRing::track(this);
    setSymbol(systemName);
}

void IconButton::setSymbol(const QString& systemName)
{
    m_symbol = systemName;
    setProperty(IconProvider::symbolProperty, systemName);
    update();
}

void IconButton::paintEvent(QPaintEvent*)
{
    const SystemColors& colors = SystemColors::current();
    QPainter painter(this);
    if (!isEnabled())
        painter.setOpacity(0.45);
    const QColor ink = isDown() ? colors.secondaryLabel : colors.label;
    const int symbol = IconProvider::symbolSize(symbolFontSize);
    const QPixmap pixmap = IconProvider::pixmap(m_symbol, symbol, ink, devicePixelRatioF());
    painter.drawPixmap(QPointF((width() - symbol) / 2.0, (height() - symbol) / 2.0), pixmap);
    // Borderless, the button has no shape of its own: the ring follows its frame.
    if (FocusRing::isShown(this))
        FocusRing::paint(painter, QRectF(rect()), iconFocusRadius);
}

} // namespace vantorel
